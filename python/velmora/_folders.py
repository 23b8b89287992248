"""Running code with an output folder as the current folder.

The study writes its results file and checkpoint into the current folder (as a
study always has), so the command line, the main job and the module's fixed
study each run it inside the folder they were asked to write to.
"""

import contextlib
import os


@contextlib.contextmanager
def working_directory(path):
    """Creates `path` when missing, makes it the current folder, and returns to the previous one."""
    os.makedirs(path, exist_ok=True)
    previous = os.getcwd()
    os.chdir(path)
    try:
        yield
    finally:
        os.chdir(previous)


def call_in(path, function):
    """function() run with `path` (created when missing) as the current folder."""
    with working_directory(path):
        return function()
