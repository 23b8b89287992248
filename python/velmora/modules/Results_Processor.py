"""Small summaries of a finished reactor run, read from the model's histories.

``summarize(model)`` gathers what users usually look at first after ``solve``:
the number of outer steps, the final mean wall number, diameter and CNT length,
and the final gas temperature.
"""

__all__ = ["summarize"]


def summarize(model):
    """Return a dict of headline results of a solved model (missing ones are None)."""

    def last(name):
        values = getattr(model, name, None)
        if values is None:
            return None
        try:
            return values[-1] if len(values) else None
        except TypeError:
            return values

    return {
        "steps": len(getattr(model, "simulation_time", [0.0])) - 1,
        "wall_number_avg": getattr(model, "wall_number_avg", None),
        "dm_avg": getattr(model, "dm_avg", None),
        "L_cnt_avg": getattr(model, "L_cnt_avg", None),
        "final_temperature": getattr(model, "temp", None),
        "final_carbon_mass_balance": last("carbon_mass_balance_saved"),
    }
