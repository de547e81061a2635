"""The 38 sensor curves of the calibrator: key, lower end, segment bounds and reference.

Segment bounds are upper bounds in degrees C, the last one being the top of the curve. The
calibrator fixes the segment counts and lower ends of every curve and the bounds of the
ITS-90 thermocouples and of most RTDs. Ours: the IPTS-68 thermocouples keep the bounds of
their ITS-90 twins, except L and U (marked "Chosen" below), and two IPTS-68 RTD splits.
"""

from collections import namedtuple

import reference_data as data
import references as ref

ITS90 = "ITS-90"
IPTS68 = "IPTS-68"

# name: instrument name; key: type letter or RTD number; unit: "mV" or "ohm"; origin: one
# line on where the reference comes from; target: largest deviation we hold the fit to
# (output unit), None where the reference is a table (held to its points instead); table:
# (points, resolution, scale of its temperatures) or None.
Curve = namedtuple(
    "Curve", "name standard key lower_end bounds unit reference origin target table"
)

# The calibrator's alpha 0.00392 RTD (rtd_pt100_392): the alpha 0.003926 constants, an
# IPTS-68 definition like JIS. Its fitted ITS-90 slope above the split comes out at the
# calibrator's 0.3987 ohm/C; with the SAMA set (data.PT392_SAMA) it would be 0.3981.
PT100_392 = data.PT3926

THERMOCOUPLE_NAMES = "ENJKTBRSCLU"  # thermocouple numbers 1-11

THERMOCOUPLE_BOUNDS = {
    "E": (-250.0, [-42.6, 196.6, 769.2, 1000.0]),
    "N": (-200.0, [8.6, 325.0, 925.0, 1300.0]),
    "J": (-210.0, [3.3, 413.8, 733.7, 944.1, 1200.0]),
    "K": (-200.0, [67.4, 228.6, 505.9, 847.6, 1109.5, 1372.0]),
    "T": (-250.0, [-105.5, 86.1, 400.0]),
    "B": (0.0, [50.0, 1210.0, 1820.0]),
    "R": (0.0, [353.4, 706.8, 1060.2, 1547.2, 1767.0]),
    "S": (0.0, [353.4, 706.8, 1060.2, 1546.1, 1767.0]),
    "C": (0.0, [579.0, 1158.0, 1737.0, 2316.0]),
    "L": (-200.0, [-123.1, 21.4, 148.8, 391.3, 612.0, 841.7, 900.0]),
    "U": (-200.0, [-119.2, 28.7, 197.4, 364.1, 515.5, 600.0]),
}

# Chosen: the IPTS-68 L and U curves have more segments than their ITS-90 twins; they break
# at the 100 C points of the DIN 43710 table they rest on (L's last segment spans two steps).
THERMOCOUPLE_BOUNDS_IPTS68 = {
    "L": (-200.0, [-100.0, 0.0, 100.0, 200.0, 300.0, 400.0, 500.0, 600.0, 700.0, 900.0]),
    "U": (-200.0, [-100.0, 0.0, 100.0, 200.0, 300.0, 400.0, 500.0, 600.0]),
}

MICROVOLT = 0.001  # mV
TABLE_RESOLUTION_DIN43710 = 0.01  # mV


def _thermocouple(letter, standard):
    lower_end, bounds = THERMOCOUPLE_BOUNDS[letter]
    if standard == IPTS68:
        lower_end, bounds = THERMOCOUPLE_BOUNDS_IPTS68.get(letter, (lower_end, bounds))
    target, table = MICROVOLT, None
    if letter in "LU":
        points = data.TYPE_L_DIN43710 if letter == "L" else data.TYPE_U_DIN43710
        f68 = ref.table_interpolant(points)
        if standard == IPTS68:
            reference, origin = f68, "DIN 43710 table (IPTS-68), cubic spline"
        else:
            reference = ref.on_its90_from_ipts68(f68)
            origin = "DIN 43710 table (IPTS-68), cubic spline, E90(t) = E68(t68(t))"
        target, table = None, (points, TABLE_RESOLUTION_DIN43710, IPTS68)
    elif standard == ITS90:
        reference = ref.polynomial_pieces(data.ITS90_THERMOCOUPLES[letter])
        origin = "ASTM E988 function" if letter == "C" else "NIST ITS-90 reference function"
    elif letter in data.IPTS68_THERMOCOUPLES:
        reference = ref.polynomial_pieces(data.IPTS68_THERMOCOUPLES[letter])
        origin = "NBS IPTS-68 reference function"
    else:
        reference = ref.on_ipts68_from_its90(
            ref.polynomial_pieces(data.ITS90_THERMOCOUPLES[letter])
        )
        origin = "ASTM E988 function (ITS-90), E68(t) = E90(t90(t))"
    return Curve(
        "tc_" + letter.lower(), standard, letter, lower_end, bounds, "mV", reference, origin,
        target, table,
    )


# RTD number -> (name, lower end, ITS-90 bounds, IPTS-68 bounds).
RTD_BOUNDS = {
    1: ("rtd_pt100_392", -200.0, [29.9, 630.0], [14.7, 630.0]),  # IPTS-68 split: as the others
    2: ("rtd_pt100_385", -200.0, [81.0, 800.0], [81.0, 800.0]),
    3: ("rtd_ni120", -80.0, [126.8, 260.0], [124.6, 260.0]),
    4: ("rtd_pt200_385", -200.0, [14.7, 630.0], [14.7, 630.0]),
    5: ("rtd_pt500_385", -200.0, [14.7, 630.0], [14.7, 630.0]),
    6: ("rtd_pt1000_385", -200.0, [14.7, 630.0], [14.7, 630.0]),
    7: ("rtd_cu10", -100.0, [260.0], [260.0]),
    8: ("rtd_pt100_3916", -200.0, [27.5, 630.0], [14.7, 630.0]),  # IPTS-68 split: as the others
}

MILLIOHM = 0.001  # ohm, held per 100 ohm of nominal resistance


NOMINAL_OHMS = {1: 100.0, 2: 100.0, 4: 200.0, 5: 500.0, 6: 1000.0, 8: 100.0}


def _platinum(number, standard, pt100_392):
    r0 = NOMINAL_OHMS[number]
    if number in (2, 4, 5, 6):
        constants = data.PT385_ITS90 if standard == ITS90 else data.PT385_IPTS68
        label = "IEC 60751" if standard == ITS90 else "IEC 751:1983"
        return ref.callendar_van_dusen(constants, r0), "Callendar-Van Dusen, " + label
    # JPt100 and the alpha 0.00392 curve are IPTS-68 definitions.
    constants = pt100_392 if number == 1 else data.PT3916_JIS
    alpha = float(constants.A) + 100.0 * float(constants.B)
    label = "JIS C 1604" if number == 8 else "alpha %.6g" % alpha
    f68 = ref.callendar_van_dusen(constants, r0)
    if standard == IPTS68:
        return f68, "Callendar-Van Dusen, %s (IPTS-68)" % label
    return ref.on_its90_from_ipts68(f68), "Callendar-Van Dusen, %s, R90(t) = R68(t68(t))" % label


def _table_rtd(number, standard):
    if number == 3:
        points, resolution, label = data.NI120_EDISON7, 0.01, "Edison No. 7 table"
    else:
        points, resolution, label = data.CU10_EDISON15, 0.001, "Edison No. 15 table"
    f90 = ref.table_interpolant(points)
    if standard == ITS90:
        return f90, label + ", cubic spline", (points, resolution, ITS90)
    origin = label + ", cubic spline, R68(t) = R90(t90(t))"
    return ref.on_ipts68_from_its90(f90), origin, (points, resolution, ITS90)


def rtd_curve(number, standard, pt100_392=PT100_392):
    """RTD curve 1-8; pt100_392 lets the report try other constants for curve 1."""
    name, lower_end, bounds90, bounds68 = RTD_BOUNDS[number]
    bounds = bounds90 if standard == ITS90 else bounds68
    if number in (3, 7):
        reference, origin, table = _table_rtd(number, standard)
        target = None
    else:
        reference, origin = _platinum(number, standard, pt100_392)
        table, target = None, MILLIOHM * NOMINAL_OHMS[number] / 100.0
    return Curve(name, standard, number, lower_end, bounds, "ohm", reference, origin, target, table)


def thermocouple_curves(standard):
    return [_thermocouple(letter, standard) for letter in THERMOCOUPLE_NAMES]


def rtd_curves(standard):
    return [rtd_curve(number, standard) for number in sorted(RTD_BOUNDS)]
