"""The `velmora` command line: argument parsing only.

The work is done by the extension modules: studies by
``Mapping_Wrapper.run_parametric_study``, single runs by
``parameter_sweep.run_simulation``, figures by ``velmora.plots``. Without a
subcommand the main job of ``python -m velmora`` runs.
"""

import argparse
import ast
import contextlib
import os
import sys

# Wrapper settings behind each study parameter key: (range min, range max, constant).
STUDY_SETTINGS = {
    "P": ("pressure_range_min", "pressure_range_max", "pressure_constant"),
    "T": ("temperature_range_min", "temperature_range_max", "temperature_constant"),
    "D": ("dp_initial_premade_range_min", "dp_initial_premade_range_max", "dp_initial_premade_constant"),
    "L": ("reactor_length_range_min", "reactor_length_range_max", "reactor_length_range_constant"),
}

STUDY_EXAMPLES = """\
examples:
  velmora study --points 16 --range T 800 1000 --constant L 0.05 --set intnum=12 --workers 2 --output runs/
  velmora study --map 'T&D' --points 100 --set surface_kinetics_type=Surface_Kinetics_Ma_etal_2005
  velmora study --points 100 --workers 2 --output runs/ --resume "runs/parametric_study_P&T.checkpoint.jsonl"
  velmora study --points 400 --dask tcp://scheduler:8786 --output runs/

Keys of --map, --range and --constant: P (inlet C2H2 mole fraction), T (temperature, K),
D (initial particle diameter, m), L (reactor length, m). Every finished run is appended to
parametric_study_<map>.checkpoint.jsonl in the output folder; --resume with that file (or
with a results CSV) skips the runs it holds.
"""

RUN_EXAMPLES = """\
examples:
  velmora run --set intnum=8 --set reactor_length=0.02 --output one_run/
  velmora run --set catalsyt_element=Fe --set temp=1000 --name fe_1000K

Writes <name>_histories.npz (positions z, states and every history), <name>_histories.csv
(the scalar histories, one row per entry) and <name>_summary.json into the output folder.
"""

PLOT_EXAMPLES = """\
examples:
  velmora plot "runs/parametric_study_P&T_20250101_120000.csv"
  velmora plot results.csv -o map.pdf --set iterations=2000

The map needs a P&T results file (P_parameter, T_parameter, L_cnt_avg, wall_number_avg).
"""


def parse_value(text):
    """A --set value: a Python literal where it is one (numbers, True, None, dicts), else the text."""
    try:
        return ast.literal_eval(text)
    except (ValueError, SyntaxError):
        return text


def keyword(text):
    key, sep, value = text.partition("=")
    if not sep or not key.strip():
        raise argparse.ArgumentTypeError(f"expected key=value, got {text!r}")
    return key.strip(), parse_value(value)


def study_key(text):
    key = text.upper()
    if key not in STUDY_SETTINGS:
        raise argparse.ArgumentTypeError(f"unknown parameter {text!r}; use one of P, T, D, L")
    return key


def positive_int(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("must be at least 1")
    return value


def build_parser():
    parser = argparse.ArgumentParser(
        prog="velmora",
        description="CNT synthesis on floating catalyst particles: parametric studies, single runs and maps. "
        "Without a command, runs the main job: a 5 x 5 P&T study with its phase map and one run report, "
        "written into the current folder.",
        epilog="examples:\n  velmora study --help\n  velmora run --set intnum=8 --set reactor_length=0.02\n"
        "  velmora plot results.csv -o map.png",
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    commands = parser.add_subparsers(dest="command", metavar="{study,run,plot}")

    study = commands.add_parser(
        "study", help="run a parametric study over a grid of two parameters",
        description="Runs the reactor model over a grid of two of the parameters P, T, D, L, writes "
        "parametric_study_<map>_<time>.csv and a checkpoint of finished runs into the output folder.",
        epilog=STUDY_EXAMPLES, formatter_class=argparse.RawDescriptionHelpFormatter)
    study.add_argument("--map", default="P&T", help="the two varied keys, vertical&horizontal (default P&T)")
    study.add_argument("--points", type=int, default=100,
                       help="requested number of runs; the grid has int(sqrt(points)) values per axis (default 100)")
    study.add_argument("--range", nargs=3, action="append", default=[], metavar=("KEY", "MIN", "MAX"),
                       help="grid ends of a varied parameter, e.g. --range T 800 1000 (repeatable)")
    study.add_argument("--constant", nargs=2, action="append", default=[], metavar=("KEY", "VALUE"),
                       help="value of a parameter held constant, e.g. --constant L 0.05 (repeatable)")
    study.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE",
                       help="any model keyword, e.g. --set intnum=12 (repeatable; also reaches the classifier)")
    study.add_argument("--workers", type=positive_int, default=None,
                       help="run the points in this many worker processes (default: one per CPU core)")
    study.add_argument("--dask", metavar="ADDRESS", default=None,
                       help="run the points on the Dask cluster whose scheduler is at ADDRESS")
    study.add_argument("--output", default=".", help="folder for the results file and the checkpoint (default .)")
    study.add_argument("--resume", metavar="FILE", default=None,
                       help="checkpoint or results CSV of the same study: its runs are not repeated")
    study.add_argument("--plot", action="store_true", help="also write the contour map beside the CSV (P&T only)")
    add_map_options(study)
    study.add_argument("--no-progress", action="store_true", help="no progress bar (it is off anyway when "
                       "standard error is not a terminal)")

    run = commands.add_parser(
        "run", help="run one simulation and write its histories",
        description="Runs one MovingSectionalModel with the given keywords (defaults otherwise).",
        epilog=RUN_EXAMPLES, formatter_class=argparse.RawDescriptionHelpFormatter)
    run.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE",
                     help="a model keyword, e.g. --set temp=1000 (repeatable)")
    run.add_argument("--output", default=".", help="output folder (default .)")
    run.add_argument("--name", default="simulation", help="base name of the written files (default simulation)")
    run.add_argument("--plot", action="store_true", help="also write the run report figure <name>_report.png")

    plot = commands.add_parser(
        "plot", help="draw the contour map of a study's results file",
        description="Labels the runs by wall number, trains the phase-boundary classifier and writes the "
        "contour map of L_cnt_avg with the boundary to a file.",
        epilog=PLOT_EXAMPLES, formatter_class=argparse.RawDescriptionHelpFormatter)
    plot.add_argument("results", help="results CSV of a P&T study")
    plot.add_argument("-o", "--output", default=None,
                      help="figure file; the format follows the suffix (default: the CSV's name with .png)")
    plot.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE",
                      help="a classifier keyword, e.g. --set iterations=2000 (repeatable)")
    add_map_options(plot)
    return parser


def add_map_options(parser):
    parser.add_argument("--log", action="store_true", help="logarithmic colour scale of the map")
    parser.add_argument("--vmax", type=float, default=None,
                        help="cap of the colour scale, m (default: the largest mean CNT length of the data)")


@contextlib.contextmanager
def working_directory(path):
    os.makedirs(path, exist_ok=True)
    previous = os.getcwd()
    os.chdir(path)
    try:
        yield
    finally:
        os.chdir(previous)


def study_settings(args, parser):
    settings = {"map_requested": args.map, "total_data_points": args.points}
    for key, low, high in args.range:
        key = study_key_or_exit(key, parser)
        settings[STUDY_SETTINGS[key][0]] = parse_value(low)
        settings[STUDY_SETTINGS[key][1]] = parse_value(high)
    for key, value in args.constant:
        key = study_key_or_exit(key, parser)
        settings[STUDY_SETTINGS[key][2]] = parse_value(value)
    return settings


def study_key_or_exit(key, parser):
    try:
        return study_key(key)
    except argparse.ArgumentTypeError as error:
        parser.error(str(error))


def run_study(args, parser):
    from velmora.core import parameter_sweep

    if args.workers is not None and args.dask is not None:
        parser.error("give --workers or --dask, not both")
    # The resume file is named relative to where the command was started.
    resume = os.path.abspath(args.resume) if args.resume else None
    wrapper = parameter_sweep.Mapping_Wrapper(**study_settings(args, parser), **dict(args.set))
    progress = not args.no_progress and sys.stderr.isatty()
    with contextlib.ExitStack() as stack:
        executor = None
        if args.dask is not None:
            from distributed import Client

            executor = stack.enter_context(Client(args.dask)).get_executor()
        stack.enter_context(working_directory(args.output))
        workers = args.workers if args.workers is not None or executor is not None else os.cpu_count()
        wrapper.run_parametric_study(max_workers=workers, executor=executor, resume=resume,
                                     progress=progress)
        if args.plot:
            from velmora import plots

            figure = os.path.splitext(wrapper.last_generated_filename)[0] + ".png"
            plots.phase_map(wrapper.last_generated_filename, figure, log=args.log, vmax=args.vmax, **dict(args.set))
            print(f"Figure written to: {os.path.join(args.output, figure)}")
    return 0


def run_one(args):
    from velmora.core import parameter_sweep

    summary = parameter_sweep.run_simulation(dict(args.set), output_dir=args.output, name=args.name)
    if args.plot and summary.get("steps"):
        from velmora import plots

        figure = os.path.join(args.output, args.name + "_report.png")
        plots.run_report_from_files(summary["histories_npz"], figure, summary_path=summary["summary_json"])
        print(f"  Run report: {figure}")
    return 0 if summary["status"] == 1 else 1


def plot(args):
    if not os.path.exists(args.results):
        print(f"velmora plot: no such file: {args.results}", file=sys.stderr)
        return 2
    figure = args.output or os.path.splitext(args.results)[0] + ".png"
    from velmora import plots

    plots.phase_map(args.results, figure, log=args.log, vmax=args.vmax, **dict(args.set))
    print(f"Figure written to: {figure}")
    return 0


def main(argv=None):
    parser = build_parser()
    args = parser.parse_args(sys.argv[1:] if argv is None else argv)
    if args.command in ("study", "plot", "run") and "MPLBACKEND" not in os.environ:
        # These commands write figures to files; no window should wait on screen.
        import matplotlib

        matplotlib.use("Agg")
    if args.command is None:
        from velmora.__main__ import main_job

        main_job(".")
        return 0
    if args.command == "study":
        return run_study(args, parser)
    if args.command == "run":
        return run_one(args)
    return plot(args)


if __name__ == "__main__":
    sys.exit(main())
