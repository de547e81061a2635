"""Minimax fit of one quartic per segment, with neighbouring segments meeting at their bounds.

The fit is a linear programme on sample points (Chebyshev-Lobatto points of each segment plus
any table points): minimise the largest deviation over the whole curve, then, with that held,
the sum of the per-segment largest deviations, so that every segment is as good as the
continuity allows. The programme solves for a correction to a least-squares start, scaled
to order one, which keeps it well inside the solver's tolerances. Points where a dense
check finds a larger deviation than the programme saw are added and the programme solved
again (a discrete exchange), so the result is the minimax fit on the continuum.

Everything is deterministic: fixed grids, one solver, no random starts.
"""

from fractions import Fraction

import numpy as np
from scipy.optimize import linprog

DEGREE = 4
SAMPLES_PER_SEGMENT = 241
CHECK_POINTS_PER_SEGMENT = 6001
EXCHANGE_ROUNDS = 8
SIGNIFICANT_DIGITS = 12


def single(x):
    """Values as the calibrator's single-precision temperatures, back in double."""
    return np.asarray(x, dtype=np.float32).astype(np.float64)


def segment_domains(curve):
    uppers = [float(single(b)) for b in curve.bounds]
    lowers = [float(single(curve.lower_end))] + uppers[:-1]
    return list(zip(lowers, uppers))


def _chebyshev_basis(x):
    return np.polynomial.chebyshev.chebvander(x, DEGREE)


class _Segment:
    def __init__(self, lo, hi):
        self.lo, self.hi = lo, hi
        self.mid, self.half = (lo + hi) / 2.0, (hi - lo) / 2.0

    def x(self, t):
        return (np.asarray(t) - self.mid) / self.half

    def grid(self, n):
        k = np.arange(n)
        return np.unique(single(self.mid - self.half * np.cos(np.pi * k / (n - 1))))


def _solve(segments, samples, values, start, scale):
    """One linear programme; returns the Chebyshev coefficients per segment."""
    count = len(segments)
    n_coef = (DEGREE + 1) * count
    n_var = n_coef + count + 1
    rows, rhs = [], []
    for k, seg in enumerate(segments):
        basis = _chebyshev_basis(seg.x(samples[k]))
        residual = (values[k] - basis @ start[k]) / scale
        # basis . d - e_k <= residual and -basis . d - e_k <= -residual
        for sign in (1.0, -1.0):
            block = np.zeros((len(residual), n_var))
            block[:, (DEGREE + 1) * k : (DEGREE + 1) * (k + 1)] = sign * basis
            block[:, n_coef + k] = -1.0
            rows.append(block)
            rhs.append(sign * residual)
        cap = np.zeros((1, n_var))
        cap[0, n_coef + k], cap[0, -1] = 1.0, -1.0
        rows.append(cap)
        rhs.append(np.zeros(1))
    a_ub, b_ub = np.vstack(rows), np.concatenate(rhs)

    eq_rows, eq_rhs = [], []
    for k in range(count - 1):
        left = _chebyshev_basis(np.array([1.0]))[0]
        right = _chebyshev_basis(np.array([-1.0]))[0]
        row = np.zeros(n_var)
        row[(DEGREE + 1) * k : (DEGREE + 1) * (k + 1)] = left
        row[(DEGREE + 1) * (k + 1) : (DEGREE + 1) * (k + 2)] = -right
        eq_rows.append(row)
        eq_rhs.append(-(left @ start[k] - right @ start[k + 1]) / scale)
    a_eq = np.array(eq_rows) if eq_rows else None
    b_eq = np.array(eq_rhs) if eq_rhs else None

    bounds = [(None, None)] * n_coef + [(0.0, None)] * (count + 1)
    objective = np.zeros(n_var)
    objective[-1] = 1.0
    first = linprog(objective, a_ub, b_ub, a_eq, b_eq, bounds, method="highs")
    if first.status != 0:
        raise RuntimeError("minimax programme failed: " + first.message)
    worst = first.x[-1]
    bounds[-1] = (0.0, worst * (1.0 + 1e-6) + 1e-9)
    objective = np.zeros(n_var)
    objective[n_coef : n_coef + count] = 1.0
    second = linprog(objective, a_ub, b_ub, a_eq, b_eq, bounds, method="highs")
    solution = second.x if second.status == 0 else first.x
    return [
        start[k] + scale * solution[(DEGREE + 1) * k : (DEGREE + 1) * (k + 1)]
        for k in range(count)
    ]


def _local_peaks(error):
    """Indices of the local maxima of |error| (ends included)."""
    a = np.abs(error)
    inner = np.flatnonzero((a[1:-1] >= a[:-2]) & (a[1:-1] >= a[2:])) + 1
    return np.unique(np.concatenate(([0, len(a) - 1], inner)))


def fit_chebyshev(curve):
    """Minimax Chebyshev coefficients of every segment, in the segment's own variable."""
    segments = [_Segment(lo, hi) for lo, hi in segment_domains(curve)]
    samples = []
    for seg in segments:
        t = seg.grid(SAMPLES_PER_SEGMENT)
        if curve.table is not None:
            t = np.union1d(t, table_points_inside(curve, seg.lo, seg.hi))
        samples.append(t)
    values = [curve.reference(t) for t in samples]
    start = [
        np.linalg.lstsq(_chebyshev_basis(seg.x(t)), v, rcond=None)[0]
        for seg, t, v in zip(segments, samples, values)
    ]
    spread = max(np.max(np.abs(v)) for v in values)
    for _ in range(EXCHANGE_ROUNDS):
        scale = max(
            max(np.max(np.abs(_chebyshev_basis(s.x(t)) @ c - v)) for s, t, v, c in
                zip(segments, samples, values, start)),
            1e-13 * spread,
        )
        coefficients = _solve(segments, samples, values, start, scale)
        grown = False
        for k, seg in enumerate(segments):
            seen = np.max(np.abs(_chebyshev_basis(seg.x(samples[k])) @ coefficients[k] - values[k]))
            dense = seg.grid(CHECK_POINTS_PER_SEGMENT)
            error = _chebyshev_basis(seg.x(dense)) @ coefficients[k] - curve.reference(dense)
            if np.max(np.abs(error)) > seen * (1.0 + 1e-4) + 1e-12 * spread:
                extra = dense[_local_peaks(error)]
                samples[k] = np.union1d(samples[k], extra)
                values[k] = curve.reference(samples[k])
                grown = True
        start = coefficients
        if not grown:
            break
    return segments, coefficients


def table_points_inside(curve, lo, hi):
    """The table's temperatures on the curve's own scale, within [lo, hi]."""
    t = np.array(table_temperatures(curve))
    return single(t[(t >= lo) & (t <= hi)])


def table_temperatures(curve):
    points, _, table_standard = curve.table
    t = np.array([p[0] for p in points], dtype=float)
    if table_standard == curve.standard:
        return t
    import references as ref

    if curve.standard == "ITS-90":  # table on IPTS-68
        return ref.t90_from_t68(t)
    return t - ref.t90_minus_t68(t)


def _round_significant(value):
    return float("%.*g" % (SIGNIFICANT_DIGITS, value))


def to_monomials(segment, chebyshev):
    """Exact change of variable to powers of t, then rounded to the published digits."""
    mid, half = Fraction(segment.mid), Fraction(segment.half)
    result = [Fraction(0)] * (DEGREE + 1)
    for j, a in enumerate(chebyshev):
        unit = [0] * j + [1]
        powers_of_x = np.polynomial.chebyshev.cheb2poly(unit)  # exact small integers
        for i, p in enumerate(powers_of_x):
            p = int(round(p))
            if p == 0:
                continue
            # x^i = ((t - mid) / half)^i, expanded binomially.
            for m in range(i + 1):
                binom = _binomial(i, m)
                term = Fraction(a) * p * binom * (-mid) ** (i - m) / half**i
                result[m] += term
    return [_round_significant(float(c)) for c in result]


def _binomial(n, k):
    out = 1
    for i in range(k):
        out = out * (n - i) // (i + 1)
    return out


def fit_curve(curve):
    """Monomial coefficients c0..c4 of every segment of the curve."""
    segments, chebyshev = fit_chebyshev(curve)
    return [to_monomials(seg, c) for seg, c in zip(segments, chebyshev)]


def evaluate_as_calibrator(curve, coefficients, t):
    """The calibrator's evaluation: segment search, double Horner from c4, single result."""
    t = single(t)
    uppers = single([b for b in curve.bounds])
    index = np.zeros(t.shape, dtype=int)
    for k in range(len(uppers) - 1):
        index += (t >= uppers[k]) & (index == k)
    c = np.array(coefficients)[index]
    acc = c[:, 4].copy()
    for j in (3, 2, 1, 0):
        acc = t * acc + c[:, j]
    return single(acc)
