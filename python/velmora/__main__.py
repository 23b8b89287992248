"""`python -m velmora`: the `velmora` command (velmora.cli.main), the same entry point."""
import sys

from velmora.cli import main

sys.exit(main())
