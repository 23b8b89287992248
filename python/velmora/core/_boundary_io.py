"""Tables of a boundary study (pandas): its curve as a CSV file and as a DataFrame."""

import pandas as pd


def table_frame(rows, columns):
    """The rows (dicts) as a DataFrame with exactly these columns, in this order (also when empty)."""
    return pd.DataFrame(list(rows), columns=list(columns))


def write_table_csv(rows, columns, filename):
    table_frame(rows, columns).to_csv(filename, index=False)
