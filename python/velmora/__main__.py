"""`python -m velmora`: the main job of the package.

Without arguments it runs the study module's fixed P&T study in the current
directory: the results CSV, and the contour map beside it as PNG (same base
name), also shown where a display exists.
"""

import sys


def main(argv=None):
    # argv is accepted for the command line that later grows subcommands; with
    # none given, the fixed study is what runs.
    from velmora.core import parameter_sweep

    parameter_sweep.main(output_dir=".")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
