// Anchor of the precompiled pybind11 header shared by the extension modules.
