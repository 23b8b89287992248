"""Library plumbing of the parametric study: pandas, numpy, tqdm and executors.

The study module (velmora.core.parameter_sweep) decides everything in compiled
code: the grid, the run records, which recorded runs a resume may reuse, the
checkpoint and summary JSON, the labels. What is only a sequence of calls into
Python libraries lives here, one function per job, and is called from there:

* the results table: written by pandas' ``to_csv`` and read back (for a resume)
  by pandas' ``read_csv``, so the file has one writer and one reader;
* the histories of a single run: ``numpy.savez_compressed`` and a pandas table;
* the progress bar: tqdm on standard error;
* handing points to an executor and taking the outcomes as they complete.
"""

import concurrent.futures

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
    return concurrent.futures.ProcessPoolExecutor(max_workers=max_workers)


def run_on_executor(executor, task, jobs, shutdown):
    """Submits task(*arguments) for each (key, arguments) of jobs and yields
    (key, result) as the futures complete. On any exception (an interrupt
    included) the futures not yet started are cancelled; `shutdown` says whether
    the executor is this study's own and is shut down at the end."""
    futures = {}
    try:
        for key, arguments in jobs:
            futures[executor.submit(task, *arguments)] = key
        for future in concurrent.futures.as_completed(futures):
            yield futures[future], future.result()
    except BaseException:
        for future in futures:
            future.cancel()
        if shutdown:
            executor.shutdown(wait=False, cancel_futures=True)
            shutdown = False
        raise
    finally:
        if shutdown:
            executor.shutdown(wait=True)


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
