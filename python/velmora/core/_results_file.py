"""The study's results file: written by pandas, read back by pandas.

Called by the compiled study module (velmora.core.parameter_sweep), once per
operation: writing the records of a finished study, reading the rows of a
results file back for a resume, and reading a resume source or the settings
file beside a results file as bytes and writing that settings file (the
compiled module writes and parses the JSON text of both, and the checkpoint).
"""

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


def read_bytes(filename):
    """The whole file (a resume source: checkpoint or results file)."""
    with open(filename, "rb") as f:
        return f.read()


def read_if_present(filename):
    """The whole file, or None when there is no such file (a results file
    written before studies kept their settings has none beside it)."""
    try:
        with open(filename, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write_text(filename, text):
    with open(filename, "w", encoding="utf-8") as f:
        f.write(text)
