"""Reference functions of the sensors, as vectorised callables of the temperature (C).

Every builder returns a function f(t) -> values for a numpy array t, evaluated in double
precision from the published decimal strings of reference_data.
"""

import numpy as np
from scipy.interpolate import CubicSpline

import reference_data as data


def _horner(coefficients, t):
    acc = np.zeros_like(t)
    for c in reversed(coefficients):
        acc = acc * t + c
    return acc


def polynomial_pieces(pieces):
    """A piecewise polynomial reference (thermocouple functions); ends extrapolate."""
    prepared = []
    for p in pieces:
        coefficients = [float(c) for c in p.coefficients]
        gauss = None if p.gauss is None else tuple(float(x) for x in p.gauss)
        prepared.append((p.t_min, p.t_max, coefficients, gauss))

    def evaluate(t):
        t = np.asarray(t, dtype=float)
        result = np.empty_like(t)
        done = np.zeros(t.shape, dtype=bool)
        for i, (t_min, t_max, coefficients, gauss) in enumerate(prepared):
            last = i == len(prepared) - 1
            mask = ~done & ((t <= t_max) | last)
            x = t[mask]
            value = _horner(coefficients, x)
            if gauss is not None:
                a0, a1, a2 = gauss
                value = value + a0 * np.exp(a1 * (x - a2) ** 2)
            result[mask] = value
            done |= mask
        return result

    return evaluate


def callendar_van_dusen(constants, r0):
    """R0 [1 + A t + B t^2 + C (t - 100) t^3], the C term below 0 C only."""
    a, b, c = (float(x) for x in constants)

    def evaluate(t):
        t = np.asarray(t, dtype=float)
        below = np.where(t < 0.0, c * (t - 100.0) * t**3, 0.0)
        return r0 * (1.0 + a * t + b * t * t + below)

    return evaluate


def table_interpolant(points):
    """A not-a-knot cubic spline through table points (C2, monotone on these tables).

    Outside the table the end cubics extrapolate.
    """
    t = np.array([p[0] for p in points], dtype=float)
    v = np.array([float(p[1]) for p in points])
    spline = CubicSpline(t, v)
    dense = np.linspace(t[0], t[-1], 20001)
    if not np.all(spline(dense, 1) > 0.0):
        raise ValueError("table interpolant is not monotone")
    return lambda x: spline(np.asarray(x, dtype=float))


def t90_minus_t68(t90):
    """t90 - t68 in kelvin as a function of t90 in C."""
    t90 = np.asarray(t90, dtype=float)
    low = _horner([float(c) for c in data.T90_MINUS_T68_LOW], t90 / 630.0)
    mid = _horner([float(c) for c in data.T90_MINUS_T68_MID], t90)
    high = -0.25 * ((t90 + 273.15) / float(data.T90_GOLD_KELVIN)) ** 2
    return np.where(
        t90 < data.T90_SILVER_POINT, low, np.where(t90 < data.T90_GOLD_POINT, mid, high)
    )


def t90_from_t68(t68):
    """Solves t90 = t68 + (t90 - t68)(t90) by fixed-point iteration (it contracts fast)."""
    t68 = np.asarray(t68, dtype=float)
    t90 = t68.copy()
    for _ in range(12):
        t90 = t68 + t90_minus_t68(t90)
    return t90


def on_ipts68_from_its90(f90):
    """The same sensor on the IPTS-68 scale: f68(t) = f90(t90(t))."""
    return lambda t: f90(t90_from_t68(t))


def on_its90_from_ipts68(f68):
    """The same sensor on the ITS-90 scale: f90(t) = f68(t68(t))."""
    return lambda t: f68(np.asarray(t, dtype=float) - t90_minus_t68(t))
