"""`velmora boundary`: the boundary study from the command line.

Takes the options of `velmora study` that describe the plane and the runs,
plus the search's own (--budget, --threshold, --tolerance, --seed), runs
``Mapping_Wrapper.run_boundary_study`` and draws its map.
"""

import argparse
import contextlib
import os
import sys


EXAMPLES = """\
examples:
  velmora boundary --map 'P&T' --budget 25 --range P 0.001 0.01 --range T 800 1000 --constant L 0.1 --set intnum=20
  velmora boundary --set catalsyt_element=Fe --range T 900 1050 --constant L 0.1 --set intnum=20 --output fe/
  velmora boundary --budget 40 --output runs/ --resume "runs/boundary_study_P&T.checkpoint.jsonl"

Writes boundary_study_<map>_<time>.csv (one record per run, as `velmora study` writes them),
<that name>_boundary.csv (the boundary curve: the two map columns, segment, the surrogate's
wall-number interval and the band half-width as a fraction of the span) and <that name>_map.png.
Every finished run is appended to boundary_study_<map>.checkpoint.jsonl; --resume with it (and
the same options) replays the search and runs only what is missing.
"""


def add_parser(commands, cli):
    parser = commands.add_parser(
        "boundary", help="locate the wall-number boundary of a plane with few runs",
        description="Runs a boundary study: a space-filling start, then rounds of runs where a Gaussian-process "
        "surrogate of log(wall number) is least sure where the wall number crosses the threshold.",
        epilog=EXAMPLES + "\n" + cli.EXIT_CODES, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.set_defaults(command_parser=parser)
    parser.add_argument("--map", type=cli.map_request, default="P&T",
                        help="the two varied keys (default P&T; the first across the map, the second up)")
    parser.add_argument("--budget", type=cli.positive_int, default=25, help="runs at most (default 25)")
    parser.add_argument("--threshold", type=threshold, default=2.0,
                        help="wall number of the boundary (default 2)")
    parser.add_argument("--tolerance", type=fraction, default=0.0005,
                        help="stop early once the boundary's 95 %% band is narrower than this fraction of the "
                        "span (default 0.0005; 0 spends the whole budget)")
    parser.add_argument("--seed", type=int, default=0, help="seed of the start design and the surrogate (default 0)")
    cli.add_run_options(parser, {
        "--range": "ends of a varied parameter, e.g. --range T 800 1000 (repeatable)",
        "--constant": "value of a parameter held constant, e.g. --constant L 0.1 (repeatable)",
        "--set": "a model keyword, e.g. --set intnum=20 (repeatable)",
        "--workers": "worker processes, also the runs per round (default: one per CPU core)",
        "--dask": "run on the Dask cluster whose scheduler is at ADDRESS (2 runs per round)",
        "--output": "folder for the files (default .)",
        "--resume": "checkpoint or results CSV of the same boundary study: its runs are reused",
    })
    parser.add_argument("--no-progress", action="store_true", help="no progress bar (it is off anyway when "
                        "standard error is not a terminal)")
    return parser


def threshold(text):
    value = float(text)
    if not (value > 1.0 and value < float("inf")):
        raise argparse.ArgumentTypeError(f"must be a finite wall number above 1, got {text!r}")
    return value


def fraction(text):
    value = float(text)
    if not (0.0 <= value < 1.0):
        raise argparse.ArgumentTypeError(f"must be a fraction of the span in [0, 1), got {text!r}")
    return value


def conditions_text(wrapper, keys):
    """The settings a map's runs share, for its title: the constant study parameters, then the
    catalyst, the surface model and the model keywords given (velmora.plots.model_conditions)."""
    from velmora import plots

    names = {"P": ("C2H2 mole fraction", ""), "T": ("T", " K"), "D": ("D", " m"), "L": ("L", " m")}
    settings = {"P": "pressure_constant", "T": "temperature_constant", "D": "dp_initial_premade_constant",
                "L": "reactor_length_range_constant"}
    parts = [f"{names[k][0]} = {getattr(wrapper, settings[k]):g}{names[k][1]}" for k in "PTDL" if k not in keys]
    return ", ".join(parts + list(plots.model_conditions(wrapper.Velmora_kwargs)))


def run(args, parser, cli):
    from velmora import plots

    args.points = args.budget
    wrapper, resume = cli.prepare_study(args, parser, "boundary", cli.model_parameters())
    with contextlib.ExitStack() as stack:
        executor, workers = cli.enter_study_workers(stack, args)
        try:
            records = wrapper.run_boundary_study(budget=args.budget, threshold=args.threshold, max_workers=workers,
                                                 executor=executor, resume=resume, tolerance=args.tolerance,
                                                 seed=args.seed, progress=not args.no_progress and sys.stderr.isatty(),
                                                 run_timeout=args.run_timeout)
        except ValueError as error:  # a resume file of another study; nothing was run
            print(f"velmora boundary: error: {error}", file=sys.stderr)
            return 2
        print(cli.outcome_tally(records))
        results = os.path.join(args.output, wrapper.last_generated_filename)
        if not wrapper.results_saved:
            print(f"velmora boundary: error: results file {results} not written; the finished runs are in the "
                  "checkpoint", file=sys.stderr)
            return 1
        figure = os.path.splitext(wrapper.last_generated_filename)[0] + "_map.png"
        plots.boundary_map(wrapper, figure, conditions=conditions_text(wrapper, args.map.upper().split("&")))
    print(f"Results (CSV):   {results}")
    print(f"Boundary (CSV):  {os.path.join(args.output, wrapper.last_boundary_filename)}")
    print(f"Map:             {os.path.join(args.output, figure)}")
    return 0 if cli.any_result(records) else 1
