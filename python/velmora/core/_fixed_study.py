"""The study module's fixed study: a wrapper with the given settings, its
study, and the contour map written beside the results file.

The settings are the compiled module's; what is done with them is a sequence
of calls of the module's public classes, with the output folder as the
current folder.
"""

import os

from velmora import _folders


def run(module, settings):
    """Runs the study of Mapping_Wrapper(**settings) and draws its map; the
    wrapper and its records are kept as the module's `wrapper` and `results`."""
    wrapper = module.Mapping_Wrapper(**settings)
    module.wrapper = wrapper
    module.results = wrapper.run_parametric_study()
    figure = os.path.splitext(wrapper.last_generated_filename)[0] + ".png"
    wrapper.parametricstudyvisualizer(save_path=figure)
    return wrapper


def main(module, settings, output_dir=None):
    """run() in output_dir (created when missing), or in the current folder."""
    if output_dir is None:
        return run(module, settings)
    return _folders.call_in(output_dir, lambda: run(module, settings))
