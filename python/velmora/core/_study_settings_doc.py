"""The settings of a study as JSON text, gathered from the wrapper and its
configuration (Mapping_Wrapper.ParametricStudyConfig).

The compiled study module reads the text into its own settings value, which
it compares with the settings a resume source carries and writes into the
checkpoint and beside the results file.
"""

import json

_INT64 = (-(2**63), 2**63)


def _plain(value):
    """A host value as JSON: numbers keep their kind (an integer beyond 64 bits
    becomes its digits), dicts and sequences nest, numpy values become plain
    ones, anything else its text."""
    if value is None or isinstance(value, (bool, str, float)):
        return value
    if isinstance(value, int):
        return value if _INT64[0] <= value < _INT64[1] else str(value)
    if isinstance(value, dict):
        return {str(key): _plain(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [_plain(item) for item in value]
    if hasattr(value, "tolist") and hasattr(value, "dtype"):  # numpy arrays and scalars
        return _plain(value.tolist())
    return str(value)


def _grid_ends(grid):
    return [_plain(grid[0]), _plain(grid[len(grid) - 1])] if len(grid) else []


def settings_json(wrapper, config, kind):
    """kind ("parametric", "boundary", ...), the package version, the map, the
    grid size, the grid ends of both varied parameters, the constants, and every
    model keyword with the value the runs get (the model's default, or the
    wrapper's Velmora_kwargs entry)."""
    from velmora import __version__
    from velmora.core.growth_simulator import parameter_table

    given = wrapper.Velmora_kwargs
    constants = config.constant_values
    # Entries of Velmora_kwargs the model does not read (the classifier's
    # iterations, say) change no run and are left out.
    keywords = {row["keyword"]: _plain(given[row["keyword"]] if row["keyword"] in given else row["default"])
                for row in parameter_table() if row["keyword"] is not None}
    settings = {
        "study": kind,
        "velmora_version": _plain(__version__),
        "map_requested": _plain(wrapper.map_requested),
        "grid_size": _plain(config.grid_size),
        "ranges": {str(config.Y_parameter): _grid_ends(config.Y_parameter_range),
                   str(config.X_parameter): _grid_ends(config.X_parameter_range)},
        "constants": {str(key): _plain(constants[key]) for key in config.constant_parameters},
        "model_keywords": keywords,
    }
    return json.dumps(settings)
