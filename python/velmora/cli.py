"""The `velmora` command line: argument parsing only.

The work is done by the extension modules: studies by
``Mapping_Wrapper.run_parametric_study``, single runs by
``parameter_sweep.run_simulation``, figures by ``velmora.plots``. Without a
subcommand the main job of ``python -m velmora`` runs.
"""

import argparse
import ast
import contextlib
import difflib
import functools
import math
import os
import sys
import tempfile

from velmora._folders import working_directory

EXIT_CODES = """\
exit codes:
  0  success: the run, or at least one run of the study, succeeded and every file was written
  1  the run (or every run of the study) failed, or the results could not be written
  2  usage error: a bad option or value, an output folder that cannot be written, a bad input file;
     nothing was run
"""

STUDY_EXAMPLES = """\
examples:
  velmora study --points 16 --range T 800 1000 --constant L 0.05 --set intnum=12 --workers 2 --output runs/
  velmora study --map 'T&D' --points 100 --set surface_kinetics_type=Surface_Kinetics_Ma_etal_2005
  velmora study --points 100 --workers 2 --output runs/ --resume "runs/parametric_study_P&T.checkpoint.jsonl"
  velmora study --points 400 --dask tcp://scheduler:8786 --output runs/
  velmora study --points 16 --set intnum=12 --workers 2 --run-timeout 600 --output runs/

Keys of --map, --range and --constant: P (inlet C2H2 mole fraction), T (temperature, K),
D (initial particle diameter, m), L (reactor length, m). Every finished run is appended to
parametric_study_<map>.checkpoint.jsonl in the output folder (its first line holds the study's
settings, which are also written beside the results CSV as <results>.json); --resume with that
file (or with a results CSV) skips the runs it holds, and refuses a file of other settings.
"""

RUN_EXAMPLES = """\
examples:
  velmora run --set intnum=8 --set reactor_length=0.02 --output one_run/
  velmora run --set catalsyt_element=Fe --temperature 1000 --name fe_1000K
  velmora run --list-parameters

Writes <name>_histories.npz (positions z, states and every history), <name>_histories.csv
(the scalar histories, one row per entry) and <name>_summary.json into the output folder.
Without --temperature the reactor follows the model's profile (paper_name_for_temperature_history,
873 K throughout for the default "custom"); the summary names the profile and the temperatures used.
"""

PLOT_EXAMPLES = """\
examples:
  velmora plot "runs/parametric_study_P&T_20250101_120000.csv"
  velmora plot "runs/parametric_study_T&D_20250101_120000.csv" -o map.pdf --linear --set iterations=2000

The map needs the results file of a study of any pair of P, T, D, L (its two <key>_parameter
columns, status, L_cnt_avg, wall_number_avg). The colour scale is logarithmic when the mean CNT
lengths span more than two decades, linear otherwise; --log or --linear forces one.
"""


def parse_value(text):
    """A --set value: a Python literal where it is one (numbers, True, None, dicts), else the text."""
    try:
        return ast.literal_eval(text)
    except (ValueError, SyntaxError, TypeError, MemoryError, RecursionError):
        return text


def keyword(text):
    key, sep, value = text.partition("=")
    if not sep or not key.strip():
        raise argparse.ArgumentTypeError(f"expected key=value, got {text!r}")
    return key.strip(), parse_value(value)


@functools.lru_cache(maxsize=None)
def study_keys():
    """The wrapper settings behind each study key, from the study's settings table:
    {"P": {"range_min": ..., "range_max": ..., "constant": ..., "unit": ...}, ...}."""
    from velmora import _study_settings

    return _study_settings.settings_by_key()


def study_key(text):
    key = text.upper()
    if key not in study_keys():
        raise argparse.ArgumentTypeError(f"unknown parameter {text!r}; use one of {', '.join(study_keys())}")
    return key


def positive_int(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError("must be at least 1")
    return value


def seconds(text):
    """--run-timeout: a finite number of seconds above 0."""
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a number of seconds") from None
    if not (0 < value < float("inf")):
        raise argparse.ArgumentTypeError(f"must be a finite number of seconds above 0, got {text}")
    return value


def map_request(text):
    """--map: two of P, T, D, L joined by '&', checked by the study's own parser (same messages)."""
    from velmora.core.parameter_sweep import _parse_map_request

    try:
        _parse_map_request(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None
    return text


def kelvin(text):
    value = float(text)
    if not (math.isfinite(value) and value > 0):
        raise argparse.ArgumentTypeError(f"must be a positive number of kelvin, got {text!r}")
    return value


# What a value of each study key must be: P a mole fraction, the others positive.
STUDY_VALUE_RULES = {
    "P": (lambda v: 0 <= v <= 1, "a mole fraction in [0, 1]"),
    "T": (lambda v: v > 0, "a positive temperature in K"),
    "D": (lambda v: v > 0, "a positive diameter in m"),
    "L": (lambda v: v > 0, "a positive length in m"),
}


def study_value(key, text):
    """A grid end or constant of a study key: a finite number a run can use (ints stay ints)."""
    value = parse_value(text)
    if isinstance(value, str):
        with contextlib.suppress(ValueError):
            value = float(value)  # nan, inf: numbers, but no run can use them
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise ValueError(f"{key} value {text!r} is not a number")
    allowed, meaning = STUDY_VALUE_RULES[key]
    if not math.isfinite(value):
        raise ValueError(f"{key} value {text!r} must be a finite number")
    if not allowed(value):
        raise ValueError(f"{key} value {text!r} must be {meaning}")
    return value


# Units of the construction keywords that a run cannot use at or below zero:
# lengths, diameters, temperatures, the pressure and the flow rate.
POSITIVE_UNITS = ("m", "K", "Pa", "m^3/s")


@functools.lru_cache(maxsize=None)
def model_parameters():
    """The construction keywords of MovingSectionalModel: name -> (kind, rule).

    Read from the model's parameter table (velmora._parameters), the one list
    the constructor, the attributes and the stub are made from. kind is "flag"
    (bool), "text", "mapping" (mole fractions by species), "count" (a whole
    number of at least 1) or "number"; rule is "positive" for the keywords
    whose unit makes zero or less unusable (see POSITIVE_UNITS).
    """
    from velmora import _parameters

    kinds = {"bool": "flag", "str": "text", "dict": "mapping"}
    table = {}
    for keyword, row in _parameters.model_keywords().items():
        kind = "count" if row["annotation"] == "int" else kinds.get(row["kind"], "number")
        table[keyword] = (kind, "positive" if row["unit"] in POSITIVE_UNITS else None)
    return table


@functools.lru_cache(maxsize=None)
def classifier_parameters():
    """The keywords of the phase-boundary classifier a study's --set also reaches."""
    return {"method": ("text", None), "lambda_": ("number", None), "iterations": ("count", None),
            "alpha": ("number", "positive"), "poly_degree": ("count", None), "n_order": ("count", None)}


KIND_WORDS = {"flag": "True or False", "text": "text", "mapping": "a dict of mole fractions, e.g. "
              "\"{'C2H2': 0.01, 'H2': 0.01, 'N2': 0.98}\"", "count": "a whole number of at least 1",
              "number": "a finite number"}


def value_problem(kind, rule, value):
    """Why a --set value does not fit its parameter, or None."""
    if kind == "flag":
        ok = isinstance(value, bool)
    elif kind == "text":
        ok = isinstance(value, str)
    elif kind == "mapping":
        ok = isinstance(value, dict) and bool(value) and all(
            isinstance(k, str) and isinstance(v, (int, float)) and not isinstance(v, bool)
            and math.isfinite(v) and 0 <= v <= 1 for k, v in value.items())
    elif kind == "count":
        ok = isinstance(value, int) and not isinstance(value, bool) and value >= 1
    else:
        ok = isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)
        if ok and rule == "positive" and value <= 0:
            return "must be positive"
    return None if ok else "must be " + KIND_WORDS[kind]


def check_settings(pairs, parameters, parser, command):
    """Every --set key must be one of `parameters`, its value of that parameter's kind."""
    for key, value in pairs:
        if key not in parameters:
            hint = ""
            close = difflib.get_close_matches(key, list(parameters), n=3, cutoff=0.6)
            if close:
                hint = " (did you mean " + " or ".join(close) + "?)"
            if command == "run" and key in ("temp", "temperature", "T"):
                hint += "; to hold the reactor at one temperature use --temperature K"
            parser.error(f"argument --set: unknown parameter {key!r}{hint}")
        problem = value_problem(*parameters[key], value)
        if problem:
            parser.error(f"argument --set: {key}={value!r} {problem}")


def writable_folder(path, parser, option="argument --output"):
    """The output folder exists (or is created) and a file can be written there."""
    if os.path.exists(path) and not os.path.isdir(path):
        parser.error(f"{option}: {path} exists and is not a folder")
    try:
        os.makedirs(path, exist_ok=True)
        with tempfile.TemporaryFile(dir=path):
            pass
    except OSError as error:
        parser.error(f"{option}: cannot write into {path}: {error.strerror or error}")


def readable_file(path, parser, option):
    if not os.path.exists(path):
        parser.error(f"{option}: no such file: {path}")
    if not os.path.isfile(path):
        parser.error(f"{option}: {path} is not a regular file")
    try:
        with open(path, "rb"):
            pass
    except OSError as error:
        parser.error(f"{option}: cannot read {path}: {error.strerror or error}")


def outcome_tally(records):
    """One line: runs that succeeded, ended single-walled ("No valid sections found")
    and failed, with each distinct failure message and its count."""
    from velmora.core.parameter_sweep import outcome_tally as tally

    return tally(records)


def any_result(records):
    """Whether a run succeeded or ended single-walled: a study with one has a result."""
    from velmora.core.parameter_sweep import run_outcome

    return any(run_outcome(record) != "failed" for record in records)


def figure_file(path, parser, option):
    """A figure path whose suffix matplotlib can write, in a folder that can be written."""
    from matplotlib.figure import Figure

    suffix = os.path.splitext(path)[1].lstrip(".").lower()
    formats = Figure().canvas.get_supported_filetypes()
    if suffix not in formats:
        parser.error(f"{option}: cannot write a figure as {path!r}: the suffix must be one of "
                     + ", ".join("." + f for f in sorted(formats)))
    writable_folder(os.path.dirname(path) or ".", parser, option)


def positive_number(text):
    value = float(text)
    if not (math.isfinite(value) and value > 0):
        raise argparse.ArgumentTypeError(f"must be a positive number, got {text!r}")
    return value


def add_run_options(parser, texts):
    """The options `velmora study` and `velmora boundary` share: the plane's ends and constants, the model
    keywords, and where and how the runs go. `texts` holds each command's help for the options whose
    meaning it words differently (--range, --constant, --set, --workers, --dask, --output, --resume)."""
    parser.add_argument("--range", nargs=3, action="append", default=[], metavar=("KEY", "MIN", "MAX"),
                        help=texts["--range"])
    parser.add_argument("--constant", nargs=2, action="append", default=[], metavar=("KEY", "VALUE"),
                        help=texts["--constant"])
    parser.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE", help=texts["--set"])
    parser.add_argument("--run-timeout", type=seconds, metavar="SECONDS", default=None,
                        help="stop a run that takes longer and record it as failed ('exceeded the time limit of "
                        "N s'); the study goes on (worker processes only; not with --dask)")
    parser.add_argument("--workers", type=positive_int, default=None, help=texts["--workers"])
    parser.add_argument("--dask", metavar="ADDRESS", default=None, help=texts["--dask"])
    parser.add_argument("--output", default=".", help=texts["--output"])
    parser.add_argument("--resume", metavar="FILE", default=None, help=texts["--resume"])


def build_parser():
    parser = argparse.ArgumentParser(
        prog="velmora",
        description="CNT synthesis on floating catalyst particles: parametric studies, single runs and maps. "
        "Without a command, runs the main job: a boundary study of 25 runs on a P&T plane with its map and "
        "the run report of the run nearest the boundary, written into the current folder.",
        epilog="examples:\n  velmora study --help\n  velmora run --set intnum=8 --set reactor_length=0.02\n"
        "  velmora plot results.csv -o map.png\n\n" + EXIT_CODES,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    from velmora import __version__

    parser.add_argument("--version", action="version", version=f"velmora {__version__}")
    commands = parser.add_subparsers(dest="command", metavar="{study,boundary,run,plot}")

    study = commands.add_parser(
        "study", help="run a parametric study over a grid of two parameters",
        description="Runs the reactor model over a grid of two of the parameters P, T, D, L, writes "
        "parametric_study_<map>_<time>.csv and a checkpoint of finished runs into the output folder.",
        epilog=STUDY_EXAMPLES + "\n" + EXIT_CODES, formatter_class=argparse.RawDescriptionHelpFormatter)
    study.set_defaults(command_parser=study)
    study.add_argument("--map", type=map_request, default="P&T", help="the two varied keys, vertical&horizontal (default P&T)")
    study.add_argument("--points", type=positive_int, default=100,
                       help="requested number of runs; the grid has int(sqrt(points)) values per axis (default 100)")
    add_run_options(study, {
        "--range": "grid ends of a varied parameter, e.g. --range T 800 1000 (repeatable)",
        "--constant": "value of a parameter held constant, e.g. --constant L 0.05 (repeatable)",
        "--set": "a model or classifier keyword, e.g. --set intnum=12 (repeatable; checked against the model's "
                 "parameters, the classifier's method, lambda_, iterations, alpha, poly_degree, n_order)",
        "--workers": "run the points in this many worker processes (default: one per CPU core)",
        "--dask": "run the points on the Dask cluster whose scheduler is at ADDRESS",
        "--output": "folder for the results file and the checkpoint (default .)",
        "--resume": "checkpoint or results CSV of the same study: its runs are not repeated",
    })
    study.add_argument("--plot", action="store_true", help="also write the map of the two varied parameters "
                       "beside the CSV (<csv name>.png)")
    add_map_options(study)
    study.add_argument("--no-progress", action="store_true", help="no progress bar (it is off anyway when "
                       "standard error is not a terminal)")

    from velmora import _boundary_command

    _boundary_command.add_parser(commands, sys.modules[__name__])

    run = commands.add_parser(
        "run", help="run one simulation and write its histories",
        description="Runs one MovingSectionalModel with the given keywords (defaults otherwise).",
        epilog=RUN_EXAMPLES + "\n" + EXIT_CODES, formatter_class=argparse.RawDescriptionHelpFormatter)
    run.set_defaults(command_parser=run)
    run.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE",
                     help="a model keyword, e.g. --set intnum=12 (repeatable; checked against the model's "
                     "parameters)")
    run.add_argument("--temperature", type=kelvin, metavar="K", default=None,
                     help="hold the whole reactor at this temperature in K, as a study holds its T (default: the "
                     "profile paper_name_for_temperature_history, 873 K for \"custom\")")
    run.add_argument("--list-parameters", action="store_true",
                     help="list the model's keyword parameters (kind, default, unit, meaning) and exit")
    run.add_argument("--output", default=".", help="output folder (default .)")
    run.add_argument("--name", type=plain_name, default="simulation", help="base name of the written files (default simulation)")
    run.add_argument("--plot", action="store_true", help="also write the run report figure <name>_report.png")

    plot = commands.add_parser(
        "plot", help="draw the contour map of a study's results file",
        description="Labels the runs by wall number, trains the phase-boundary classifier and writes the "
        "map of L_cnt_avg over the study's two varied parameters, with the boundary, to a file.",
        epilog=PLOT_EXAMPLES + "\n" + EXIT_CODES, formatter_class=argparse.RawDescriptionHelpFormatter)
    plot.set_defaults(command_parser=plot)
    plot.add_argument("results", help="results CSV of a study (any pair of P, T, D, L)")
    plot.add_argument("-o", "--output", default=None,
                      help="figure file; the format follows the suffix (default: the CSV's name with .png)")
    plot.add_argument("--set", type=keyword, action="append", default=[], metavar="KEY=VALUE",
                      help="a classifier keyword, e.g. --set iterations=2000 (repeatable)")
    add_map_options(plot)
    return parser


def add_map_options(parser):
    scale = parser.add_mutually_exclusive_group()
    scale.add_argument("--log", dest="log", action="store_const", const=True, default=None,
                       help="logarithmic colour scale of the map (default when the lengths span > 2 decades)")
    scale.add_argument("--linear", dest="log", action="store_const", const=False,
                       help="linear colour scale of the map")
    parser.add_argument("--vmax", type=positive_number, default=None,
                        help="cap of the colour scale, m (default: the largest mean CNT length of the data)")


def study_settings(args, parser):
    settings = {"map_requested": args.map, "total_data_points": args.points}
    try:
        for key, low, high in args.range:
            key = study_key_or_exit(key, parser)
            settings[study_keys()[key]["range_min"]] = study_value(key, low)
            settings[study_keys()[key]["range_max"]] = study_value(key, high)
        for key, value in args.constant:
            key = study_key_or_exit(key, parser)
            settings[study_keys()[key]["constant"]] = study_value(key, value)
    except ValueError as error:
        parser.error(f"argument --range/--constant: {error}")
    return settings


def study_key_or_exit(key, parser):
    try:
        return study_key(key)
    except argparse.ArgumentTypeError as error:
        parser.error(str(error))


def prepare_study(args, parser, command, accepted_keys):
    """Check a study command's options (nothing runs on a bad one) and build its wrapper;
    returns the wrapper and the resume file's absolute path (or None)."""
    from velmora.core import parameter_sweep

    if args.workers is not None and args.dask is not None:
        parser.error("give --workers or --dask, not both")
    if args.run_timeout is not None and args.dask is not None:
        parser.error("argument --run-timeout: a Dask cluster cannot stop a running task; use --workers")
    settings = study_settings(args, parser)
    check_settings(args.set, accepted_keys, parser, command)
    # The resume file is named relative to where the command was started.
    resume = None
    if args.resume:
        readable_file(args.resume, parser, "argument --resume")
        resume = os.path.abspath(args.resume)
    writable_folder(args.output, parser)
    return parameter_sweep.Mapping_Wrapper(**settings, **dict(args.set)), resume


def enter_study_workers(stack, args):
    """Open the Dask client (when asked), change into the output folder, and say how many worker
    processes run the points: --workers, else one per CPU core (None with a Dask executor)."""
    executor = None
    if args.dask is not None:
        from distributed import Client

        executor = stack.enter_context(Client(args.dask)).get_executor()
    stack.enter_context(working_directory(args.output))
    workers = args.workers if args.workers is not None or executor is not None else os.cpu_count()
    return executor, workers


def run_study(args, parser):
    wrapper, resume = prepare_study(args, parser, "study", {**model_parameters(), **classifier_parameters()})
    progress = not args.no_progress and sys.stderr.isatty()
    with contextlib.ExitStack() as stack:
        executor, workers = enter_study_workers(stack, args)
        try:
            records = wrapper.run_parametric_study(max_workers=workers, executor=executor, resume=resume,
                                                   progress=progress, run_timeout=args.run_timeout)
        except ValueError as error:  # a resume file that does not belong to this study (or is unreadable); nothing was run
            print(f"velmora study: error: {error}", file=sys.stderr)
            return 2
        print(outcome_tally(records))
        if not getattr(wrapper, "results_saved", False):
            print(f"velmora study: error: results file {os.path.join(args.output, wrapper.last_generated_filename)} "
                  "not written; the finished runs are in the checkpoint", file=sys.stderr)
            return 1
        if args.plot:
            from velmora import plots

            figure = os.path.splitext(wrapper.last_generated_filename)[0] + ".png"
            model_keys = {k: v for k, v in args.set if k not in classifier_parameters()}
            plots.phase_map(wrapper.last_generated_filename, figure, log=args.log, vmax=args.vmax,
                            conditions=plots.model_conditions(model_keys),
                            **{k: v for k, v in args.set if k in classifier_parameters()})
            print(f"Figure written to: {os.path.join(args.output, figure)}")
    return 0 if any_result(records) else 1


def plain_name(text):
    if not text or text in (".", "..") or "/" in text or (os.altsep and os.altsep in text) or "\0" in text:
        raise argparse.ArgumentTypeError(f"must be a plain file name without folders, got {text!r}")
    return text


def run_one(args, parser):
    from velmora.core import parameter_sweep

    if args.list_parameters:
        from velmora import _parameters

        _parameters.list_parameters()
        return 0
    check_settings(args.set, model_parameters(), parser, "run")
    writable_folder(args.output, parser)
    try:
        summary = parameter_sweep.run_simulation(dict(args.set), output_dir=args.output, name=args.name,
                                                 temperature=args.temperature)
    except OSError as error:
        print(f"velmora run: error: results not written: {error}", file=sys.stderr)
        return 1
    if args.plot and summary.get("steps"):
        from velmora import plots

        figure = os.path.join(args.output, args.name + "_report.png")
        plots.run_report_from_files(summary["histories_npz"], figure, summary_path=summary["summary_json"])
        print(f"  Run report: {figure}")
    return 0 if summary.get("outcome", "failed") != "failed" else 1


RESULT_COLUMNS = ("status", "L_cnt_avg", "wall_number_avg")


def plot(args, parser):
    readable_file(args.results, parser, "argument results")
    figure = args.output or os.path.splitext(args.results)[0] + ".png"
    figure_file(figure, parser, "argument -o/--output")
    from velmora import plots

    try:
        import pandas

        frame = pandas.read_csv(args.results)
    except (ValueError, pandas.errors.ParserError, pandas.errors.EmptyDataError) as error:
        parser.error(f"argument results: {args.results} is not a CSV file: {str(error).splitlines()[0]}")
    missing = [column for column in RESULT_COLUMNS if column not in frame.columns]
    try:
        plots.study_axes(frame)
    except ValueError as error:
        missing.append(str(error))
    if missing:
        parser.error(f"argument results: {args.results} is not the results file of a study "
                     f"(no column {'; '.join(missing)})")
    if frame.empty:
        parser.error(f"argument results: {args.results} holds no run")
    check_settings(args.set, classifier_parameters(), parser, "plot")
    plots.phase_map(frame, figure, log=args.log, vmax=args.vmax, conditions=plots.recorded_conditions(args.results),
                    **dict(args.set))
    print(f"Figure written to: {figure}")
    return 0


def main(argv=None):
    parser = build_parser()
    args = parser.parse_args(sys.argv[1:] if argv is None else argv)
    if args.command in ("study", "boundary", "plot", "run") and "MPLBACKEND" not in os.environ:
        # These commands write figures to files; no window should wait on screen.
        import matplotlib

        matplotlib.use("Agg")
    if args.command is None:
        from velmora._main_job import main_job

        main_job(".")
        return 0
    # errors in a command's options are reported with that command's usage line
    command_parser = args.command_parser
    if args.command == "study":
        return run_study(args, command_parser)
    if args.command == "run":
        return run_one(args, command_parser)
    if args.command == "boundary":
        from velmora import _boundary_command

        return _boundary_command.run(args, command_parser, sys.modules[__name__])
    return plot(args, command_parser)


if __name__ == "__main__":
    sys.exit(main())
