"""Parallel studies: wall time of one study run one point after another, in one
worker process and in two, and the speed-up of two workers.

    PYTHONPATH=python python benchmarks/bench_study.py [--points N] [--quick]

The study is P&T over N points (default 36, a 6 x 6 grid) with 20 sections and a
0.3 m reactor, about 0.8 s a run here, so the start of the worker processes
(importing the package, about 1.5 s) is a small part of the whole. Every timing
includes starting and stopping the pool, and each run's records are checked
against the sequential ones. On a 2-core machine the target for two workers is
a speed-up of at least 1.7 over the sequential run.
"""

import argparse
import contextlib
import io
import os
import tempfile
import time

from velmora.core.parameter_sweep import Mapping_Wrapper


def timed_study(points, **options):
    study = dict(total_data_points=points, temperature_range_max=1000, reactor_length_range_constant=0.3,
                 intnum=20)
    with tempfile.TemporaryDirectory() as directory, contextlib.redirect_stdout(io.StringIO()):
        cwd = os.getcwd()
        os.chdir(directory)
        try:
            start = time.perf_counter()
            records = Mapping_Wrapper(**study).run_parametric_study(**options)
            return time.perf_counter() - start, records
        finally:
            os.chdir(cwd)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=36)
    parser.add_argument("--quick", action="store_true", help="16 points (a smoke run; start-up weighs more)")
    args = parser.parse_args()
    points = 16 if args.quick else args.points

    print(f"study: {points} points, intnum=20, reactor_length=0.3 m, {os.cpu_count()} cores")
    sequential, reference = timed_study(points)
    print(f"  sequential (no keyword):  {sequential:7.2f} s  ({sequential / len(reference):.2f} s per run)")
    one, records_one = timed_study(points, max_workers=1)
    print(f"  max_workers=1:            {one:7.2f} s")
    two, records_two = timed_study(points, max_workers=2)
    print(f"  max_workers=2:            {two:7.2f} s")
    assert records_one == reference and records_two == reference, "parallel records differ from the sequential run"
    print(f"speed-up of 2 workers over the sequential run: {sequential / two:.2f}x (target >= 1.7x)")
    print(f"speed-up of 2 workers over 1 worker:           {one / two:.2f}x")


if __name__ == "__main__":
    main()
