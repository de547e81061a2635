"""The names the setup takes, lowercase and exact, as the library lists them.

:class:`kvtlnk.Setup` names the argument and lists these when the library refuses a name.
"""
from ._header import (FUNCTIONS, INPUT_FUNCTIONS, LOOP_POWER, OUTPUT_FUNCTIONS,
                      PRESSURE_UNITS, REFERENCE_JUNCTION_MODES, RTDS, TEMPERATURE_STANDARDS,
                      TEMPERATURE_UNITS, THERMOCOUPLES)

__all__ = ["FUNCTIONS", "INPUT_FUNCTIONS", "OUTPUT_FUNCTIONS", "THERMOCOUPLES", "RTDS",
           "LOOP_POWER", "TEMPERATURE_UNITS", "PRESSURE_UNITS", "TEMPERATURE_STANDARDS",
           "REFERENCE_JUNCTION_MODES", "sensors"]


def sensors(function):
    """The sensors a function reads: thermocouples for "tc", RTDs for the RTD functions; None
    for the others, which read none."""
    if function == "tc":
        return THERMOCOUPLES
    return RTDS if function in ("2w_rtd", "3w_rtd", "4w_rtd") else None
