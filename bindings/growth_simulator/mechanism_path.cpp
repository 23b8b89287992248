// Locating the gas-phase mechanism shipped as package data: the package's data
// directory first, then beside this module and one level up, then the bare
// file name (Cantera searches its own data path for it).
#include <filesystem>

#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

std::string get_mechanism_path(const std::string& mechanism_type) {
    namespace fs = std::filesystem;
    const std::string file_name = mechanism_type + ".yaml";
    try {
        py::object files = py::module_::import("importlib.resources").attr("files")("velmora");
        py::object resource = files.attr("joinpath")("data").attr("joinpath")(file_name);
        const std::string path = py::str(resource);
        if (fs::exists(path)) return path;
    } catch (py::error_already_set&) {
        // fall through to the module's own location
    }
    py::object module_file = py::module_::import("velmora.core.growth_simulator").attr("__file__");
    const fs::path here = fs::absolute(fs::path(py::str(module_file).cast<std::string>())).parent_path();
    if (fs::exists(here / file_name)) return (here / file_name).string();
    if (fs::exists(here / ".." / "data" / file_name)) return (here / ".." / "data" / file_name).string();
    return file_name;
}

}  // namespace velmora::bind
