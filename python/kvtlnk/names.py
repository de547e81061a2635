"""The names the setup takes, lowercase and exact, as the library lists them.

:class:`kvtlnk.Setup` names the argument and lists these when the library refuses a name.
"""
from ._header import FUNCTIONS

#: Every function name of either side, in the order of their codes (from the header).
FUNCTIONS = FUNCTIONS
#: What the calibrator measures: every function but "current_sink".
INPUT_FUNCTIONS = tuple(name for name in FUNCTIONS if name != "current_sink")
#: What it sources; the other functions are measure-only.
OUTPUT_FUNCTIONS = ("none", "current", "current_sink", "dcv", "freq", "2w_ohms", "tc", "2w_rtd",
                    "pressure")
THERMOCOUPLES = ("tc_e", "tc_n", "tc_j", "tc_k", "tc_t", "tc_b", "tc_r", "tc_s", "tc_c", "tc_l",
                 "tc_u")
RTDS = ("rtd_pt100_392", "rtd_pt100_385", "rtd_ni120", "rtd_pt200_385", "rtd_pt500_385",
        "rtd_pt1000_385", "rtd_cu10", "rtd_pt100_3916")
LOOP_POWER = ("none", "off", "24v", "28v")
TEMPERATURE_UNITS = ("celsius", "fahrenheit")
PRESSURE_UNITS = ("psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar", "kpa")
TEMPERATURE_STANDARDS = ("its90", "ipts68")
REFERENCE_JUNCTION_MODES = ("measure", "user")


def sensors(function):
    """The sensors a function reads: thermocouples for "tc", RTDs for the RTD functions; None
    for the others, which read none."""
    if function == "tc":
        return THERMOCOUPLES
    return RTDS if function in ("2w_rtd", "3w_rtd", "4w_rtd") else None
