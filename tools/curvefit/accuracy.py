"""How closely the fitted curves, evaluated the way the calibrator evaluates them, follow
their references."""

from collections import namedtuple

import numpy as np

import minimax as mm

# The calibrator's own values at a few points (its coefficients, before the 0.001 factor of
# the thermocouple EMF): name, t (C), ITS-90 value, IPTS-68 value, digits after the point.
CALIBRATOR_VALUES = [
    ("tc_k", 100.0, "4.0964", "4.0957"),
    ("tc_k", 1372.0, "54.8861", "54.8747"),
    ("tc_j", 1200.0, "69.5549", "69.5372"),
    ("tc_t", 400.0, "20.8727", "20.8698"),
    ("tc_e", 1000.0, "76.3701", "76.3556"),
    ("rtd_pt100_385", 100.0, "138.5055", "138.5000"),
    ("rtd_pt100_385", -200.0, "18.5205", "18.4936"),
    ("rtd_pt1000_385", 630.0, "3233.02", "3231.77"),
    ("rtd_ni120", 0.0, "120.0217", "120.0203"),
    ("rtd_cu10", 0.0, "9.0378", "9.0378"),
]

Accuracy = namedtuple(
    "Accuracy",
    "worst worst_at worst_mk worst_mk_at per_segment jumps table_residuals within_target",
)

GRID_STEP = 0.01  # C
# Millikelvin figures only where the sensor responds: type B has almost no EMF below 100 C.
MIN_SLOPE_FOR_KELVIN = 0.001  # mV/C or ohm/C


def _slope(curve, t):
    h = 1e-3
    return (curve.reference(t + h) - curve.reference(t - h)) / (2 * h)


def measure(curve, coefficients):
    lo, hi = curve.lower_end, curve.bounds[-1]
    t = mm.single(np.linspace(lo, hi, int(round((hi - lo) / GRID_STEP)) + 1))
    t = np.union1d(t, mm.single(curve.bounds))
    t = t[(t >= mm.single(lo)) & (t <= mm.single(hi))]
    deviation = mm.evaluate_as_calibrator(curve, coefficients, t) - curve.reference(t)
    slope = _slope(curve, t)
    kelvin = np.where(np.abs(slope) >= MIN_SLOPE_FOR_KELVIN, deviation / slope, 0.0)
    i, j = np.argmax(np.abs(deviation)), np.argmax(np.abs(kelvin))

    per_segment = []
    for a, b in mm.segment_domains(curve):
        inside = (t >= a) & (t <= b)
        per_segment.append(float(np.max(np.abs(deviation[inside]))))

    jumps = []
    for k, upper in enumerate(curve.bounds[:-1]):
        at = np.array([float(mm.single(upper))])
        left = _horner(coefficients[k], at)
        right = _horner(coefficients[k + 1], at)
        jumps.append(float(right - left))

    residuals = []
    if curve.table is not None:
        points, resolution, _ = curve.table
        temps = mm.table_temperatures(curve)
        fitted = mm.evaluate_as_calibrator(curve, coefficients, temps)
        for (t_table, value), at, y in zip(points, temps, fitted):
            if mm.single(lo) <= at <= mm.single(hi):
                residuals.append((t_table, float(at), value, float(y), float(y) - float(value)))

    target = curve.target
    if target is None:
        within = all(abs(r[4]) <= curve.table[1] / 2 for r in residuals)
    else:
        within = float(np.abs(deviation[i])) <= target
    return Accuracy(
        float(abs(deviation[i])), float(t[i]), float(abs(kelvin[j]) * 1000.0), float(t[j]),
        per_segment, jumps, residuals, within,
    )


def _horner(c, t):
    acc = np.full_like(t, c[4])
    for j in (3, 2, 1, 0):
        acc = t * acc + c[j]
    return acc[0]


def calibrator_comparisons(curves, fits):
    """(name, standard, t, our value, reference value, calibrator value, difference in units of
    the calibrator value's last digit)."""
    by_key = {(c.name, c.standard): c for c in curves}
    rows = []
    for name, t, v90, v68 in CALIBRATOR_VALUES:
        for standard, given in (("ITS-90", v90), ("IPTS-68", v68)):
            curve = by_key[(name, standard)]
            ours = float(mm.evaluate_as_calibrator(curve, fits[(name, standard)], np.array([t]))[0])
            reference = float(curve.reference(np.array([t]))[0])
            digits = len(given.split(".")[1])
            steps = (ours - float(given)) * 10**digits
            rows.append((name, standard, t, ours, reference, given, steps))
    return rows


def least_squares_value(curve, t):
    """The value at t of a plain least-squares quartic on t's segment (uniform samples), for
    comparing with the K27's own coefficients."""
    for (lo, hi), upper in zip(mm.segment_domains(curve), curve.bounds):
        if t < upper or upper == curve.bounds[-1]:
            x = np.linspace(lo, hi, 2001)
            fit = np.polynomial.Polynomial.fit(x, curve.reference(x), mm.DEGREE)
            return float(fit(t))
    raise ValueError("no segment")
