#include <stdexcept>

#include "common/errors.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

std::string ordinary_exception_text(std::exception_ptr caught) {
    try {
        std::rethrow_exception(caught);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        return text_of(e.value());
    } catch (const py::builtin_exception& e) {
        return e.what();
    } catch (const std::exception& e) {
        return e.what();  // core exceptions carry the host's text
    }
}

}  // namespace velmora::bind::sweep
