"""`python -m velmora`: the `velmora` command line (see velmora.cli).

Without arguments it runs the study module's fixed P&T study in the current
directory: the results CSV, and the contour map beside it as PNG (same base
name), also shown where a display exists. `python -m velmora study|run|plot`
run the subcommands; `--help` lists them.
"""

import sys

from velmora.cli import main

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
