"""The files of one simulation run (`velmora run`): its histories as NPZ and
CSV, and its summary as JSON.

The compiled study module runs the model and computes the summary; turning the
model's histories into arrays and writing the three files are calls into
numpy, pandas and json and live here.
"""

import json
import os

import numpy as np
import pandas as pd


def file_paths(output_dir, name):
    """(histories NPZ, histories CSV, summary JSON) of run `name` in output_dir, which is created if missing."""
    os.makedirs(output_dir, exist_ok=True)
    return tuple(os.path.join(output_dir, name + suffix)
                 for suffix in ("_histories.npz", "_histories.csv", "_summary.json"))


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


def write_histories(npz_path, csv_path, model, solution):
    """Writes the positions z, the states and every history of a run (model and solution may be None).

    All arrays go into one NPZ; the one-dimensional ones (bar z) also into a
    table with one row per history entry (shorter histories end in empty
    fields). Returns (steps, final position or None, names of the histories
    that could not be stored).
    """
    arrays, skipped = {}, []
    if solution is not None:
        z, states = solution
        arrays["z"] = np.asarray(z, dtype="float64")
        arrays["states"] = np.asarray(states, dtype="float64")
    if model is not None:
        histories, skipped = model_histories(model)
        arrays.update(histories)
    np.savez_compressed(npz_path, **arrays)
    table = pd.DataFrame({name: pd.Series(values) for name, values in arrays.items()
                          if name != "z" and values.ndim == 1})
    table.index.name = "entry"
    table.to_csv(csv_path)
    steps = len(arrays["z"]) if "z" in arrays else 0
    return steps, (arrays["z"][-1].item() if steps else None), skipped


def _plain(value):
    """numpy arrays and numbers as lists and numbers; anything else as its text."""
    return value.tolist() if hasattr(value, "tolist") and hasattr(value, "dtype") else str(value)


def write_summary(json_path, document):
    """The run's summary as indented JSON (NaN and infinities spelled as the json module reads them)."""
    with open(json_path, "w", encoding="utf-8") as f:
        json.dump(document, f, indent=2, default=_plain)
        f.write("\n")
