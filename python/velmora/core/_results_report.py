"""Reading a study's results file back for the visualiser: pandas and its printed report.

Called once per operation by the compiled classes Mapping_Wrapper.DataLoader,
.DataProcessor and .InternalParametricStudyVisualizer. Which runs lie below
the wall-number threshold is decided by the compiled code; reading the table,
selecting rows and printing pandas objects in their own text form is done here.
"""

import numpy as np
import pandas as pd


def load_data(filename):
    """Reads the results file and prints its overview; returns the DataFrame."""
    print(f"Loading data from: {filename}")
    df = pd.read_csv(filename)
    print("Data loaded successfully!")
    print("First few rows:")
    print(df.head())
    print()
    print(f"Data shape: {df.shape}")
    print(f"Columns: {list(df.columns)}")
    print()
    print("Missing values:")
    print(df.isnull().sum())
    return df


def data_ranges(df):
    """The P_parameter, T_parameter and L_cnt_avg columns, with their printed ranges (NaN skipped)."""
    x, y, z = df["P_parameter"], df["T_parameter"], df["L_cnt_avg"]
    print()
    print("Data ranges:")
    for name, column in (("P_parameter", x), ("T_parameter", y), ("L_cnt_avg", z)):
        print(f"{name}: {column.min()} to {column.max()}")
    return x, y, z


def column_values(df, name):
    """One column as floats (an empty field is NaN)."""
    return df[name].to_numpy(dtype=float)


def rows_below(df, below):
    """(copy of the rows flagged in `below`, the flags as a boolean Series named wall_number_avg)."""
    wall_filter = pd.Series(np.asarray(below, dtype=bool), index=df.index, name="wall_number_avg")
    return df[wall_filter].copy(), wall_filter


def training_data(df, wall_filter):
    """(P column, T column, m x 2 training points, labels): label 1 where wall_filter is True."""
    x, y = df["P_parameter"], df["T_parameter"]
    X_train_raw = np.zeros((len(df), 2))
    X_train_raw[:, 0] = x
    X_train_raw[:, 1] = y
    return x, y, X_train_raw, np.where(wall_filter == True, 1, 0)  # noqa: E712 (element-wise on a Series)


def map_summary(runs_below, df, x, y, z):
    """The closing summary of a visualisation."""
    print("Plots generated successfully!")
    print(f"Enclosed region containing {runs_below} points with wall_number_avg < 2")
    print()
    print("Summary:")
    print(f"- Created contour plots with {len(df)} data points")
    print(f"- P_parameter ranges from {x.min()} to {x.max()}")
    print(f"- T_parameter ranges from {y.min()} to {y.max()}")
    print(f"- L_cnt_avg ranges from {z.min():.6f} to {z.max():.6f}")


def load_into(loader, filename):
    """DataLoader.load_data: the file read and reported by load_data, kept as loader.df."""
    loader.df = load_data(filename)
    return loader.df


def ranges_of(loader):
    """DataLoader.get_data_ranges: data_ranges of loader.df, or three None before a file is loaded."""
    if loader.df is None:
        return None, None, None
    return data_ranges(loader.df)


def training_data_of(processor):
    """DataProcessor.prepare_ml_data: training_data of the processor's frame and wall filter."""
    return training_data(processor.df, processor.wall_filter)
