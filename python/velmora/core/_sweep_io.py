"""Library plumbing of the parametric study: pandas, numpy, tqdm and executors.

The study module (velmora.core.parameter_sweep) decides everything in compiled
code: the grid, the run records, which recorded runs a resume may reuse, the
checkpoint and summary JSON, the labels. What is only a sequence of calls into
Python libraries lives here, one function per job, and is called from there:

* the results table: written by pandas' ``to_csv`` and read back (for a resume)
  by pandas' ``read_csv``, so the file has one writer and one reader;
* the histories of a single run: ``numpy.savez_compressed`` and a pandas table;
* the progress bar: tqdm on standard error;
* handing points to an executor and taking the outcomes as they complete,
  each run within the study's time limit when it has one.
"""

import concurrent.futures
import time

import numpy as np
import pandas as pd

# Results-file columns that always hold text, even where a value looks numeric.
TEXT_COLUMNS = ("map_type", "error_message")


def write_results_csv(records, filename):
    """The run records as the study's results file (one row per run, no index)."""
    pd.DataFrame(records).to_csv(filename, index=False)


def read_results_csv(filename):
    """The rows of a results file as dicts in column order.

    An empty field is None (the file writes None and NaN alike as empty); the
    text columns keep their text, an empty message included. Numbers come back
    as plain ints and floats.
    """
    header = pd.read_csv(filename, nrows=0).columns
    frame = pd.read_csv(filename, keep_default_na=False,
                        na_values={c: [""] for c in header if c not in TEXT_COLUMNS},
                        dtype={c: str for c in header if c in TEXT_COLUMNS})
    rows = []
    for row in frame.itertuples(index=False, name=None):
        rows.append({name: (None if isinstance(value, float) and np.isnan(value) and name not in TEXT_COLUMNS
                            else (value.item() if isinstance(value, np.generic) else value))
                     for name, value in zip(frame.columns, row)})
    return rows


def read_text(filename):
    with open(filename, "rb") as f:
        return f.read()


def progress_bar(total, initial):
    """A tqdm bar on standard error counting finished simulations."""
    from tqdm import tqdm

    return tqdm(total=total, initial=initial, unit="sim", dynamic_ncols=True, leave=True)


def process_pool(max_workers):
    """The study's own worker processes: a pebble pool, which can stop a run
    at its time limit (it ends the worker process and starts a new one)."""
    import pebble

    return pebble.ProcessPool(max_workers=max_workers)


def _is_pebble_pool(executor):
    try:
        import pebble
    except ImportError:
        return False
    return isinstance(executor, pebble.ProcessPool)


def _is_dask_executor(executor):
    return type(executor).__module__.split(".")[0] == "distributed"


def check_timeout_support(executor):
    """Raises ValueError when a time limit cannot be kept on this executor.

    A Dask executor's futures never report that their task has started, so a
    run's time cannot be measured (and Dask cannot stop a running task)."""
    if _is_dask_executor(executor):
        raise ValueError("run_timeout cannot be kept on a Dask executor (its futures do not report when a run "
                         "starts, and a running task cannot be stopped); use max_workers for timed runs")


def _submit(executor, task, arguments, run_timeout):
    if _is_pebble_pool(executor):
        return executor.schedule(task, args=arguments, timeout=run_timeout)
    return executor.submit(task, *arguments)


def _shut_down(executor, wait):
    if _is_pebble_pool(executor):
        executor.close() if wait else executor.stop()
        executor.join()
    else:
        executor.shutdown(wait=wait, cancel_futures=not wait)


# Seconds between looks at the running futures of an executor that cannot
# stop a run itself: the resolution of its time limit.
_TIMEOUT_POLL = 0.05


def run_on_executor(executor, task, jobs, shutdown, run_timeout=None):
    """Submits task(*arguments) for each (key, arguments) of jobs and yields
    (key, result) as the futures complete; result is None for a run stopped or
    abandoned at run_timeout seconds.

    A pebble pool stops a run at its limit (the worker process is ended and
    replaced). Any other executor cannot: there the study's clock starts when
    the future reports that it runs, and at the limit the run is given up (its
    future cancelled, which a started task ignores) and left to end on its
    worker. On any exception (an interrupt included) the futures not yet
    started are cancelled; `shutdown` says whether the executor is this
    study's own and is shut down at the end."""
    futures = {}
    try:
        for key, arguments in jobs:
            futures[_submit(executor, task, arguments, run_timeout)] = key
        if run_timeout is None or _is_pebble_pool(executor):
            for future in concurrent.futures.as_completed(futures):
                try:
                    result = future.result()
                except concurrent.futures.TimeoutError:
                    if run_timeout is None:
                        raise
                    result = None
                yield futures[future], result
            return
        started, pending = {}, set(futures)
        while pending:
            done, _ = concurrent.futures.wait(pending, timeout=_TIMEOUT_POLL,
                                              return_when=concurrent.futures.FIRST_COMPLETED)
            for future in done:
                pending.discard(future)
                yield futures[future], future.result()
            now = time.monotonic()
            for future in list(pending):
                if future.running():
                    started.setdefault(future, now)
                    if now - started[future] > run_timeout:
                        future.cancel()
                        pending.discard(future)
                        yield futures[future], None
    except BaseException:
        for future in futures:
            future.cancel()
        if shutdown:
            _shut_down(executor, wait=False)
            shutdown = False
        raise
    finally:
        if shutdown:
            _shut_down(executor, wait=True)


def read_if_present(filename):
    """The bytes of a file, or None when there is no such file."""
    try:
        with open(filename, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def model_histories(model):
    """The histories of a solved model as named float arrays.

    A list of equal-shape arrays or numbers becomes one stacked array, a list of
    dicts one array per key ("<history>.<key>"); empty histories are left out and
    histories that do not stack (ragged) are returned by name as skipped.
    """
    arrays, skipped = {}, []
    for name in dir(model):
        if not name.endswith("_saved"):
            continue
        history = getattr(model, name)
        if not isinstance(history, list) or not history:
            continue
        try:
            if isinstance(history[0], dict):
                arrays.update({f"{name}.{key}": np.asarray([entry[key] for entry in history], dtype="float64")
                               for key in history[0]})
            else:
                arrays[name] = np.asarray(history, dtype="float64")
        except Exception:
            skipped.append(name)
    return arrays, skipped


def write_histories(npz_path, csv_path, arrays):
    """All arrays into one NPZ; the one-dimensional ones (bar the positions z)
    as a table with one row per history entry (shorter histories end in empty
    fields)."""
    np.savez_compressed(npz_path, **arrays)
    table = pd.DataFrame({name: pd.Series(values) for name, values in arrays.items()
                          if name != "z" and values.ndim == 1})
    table.index.name = "entry"
    table.to_csv(csv_path)


def write_text(filename, text):
    with open(filename, "w", encoding="utf-8") as f:
        f.write(text)
