"""Minimax fit of one quartic per segment, with neighbouring segments meeting at their bounds.

The fit is a linear programme on sample points (Chebyshev-Lobatto points of each segment)
solved in stages, each holding what the earlier ones reached: the curve's largest deviation
from its reference; then the steps where neighbouring segments meet (zero wherever that does
not raise the curve's largest deviation); and last the largest deviation of every segment on
its own. The programme solves for a correction to a
least-squares start, scaled to order one, which keeps it well inside the solver's
tolerances. Points where a dense check finds a larger deviation than the programme saw are
added and the programme solved again (a discrete exchange), so that the result is the
minimax fit on the continuum and not only on the samples.

Everything is deterministic: fixed grids, one solver, no random starts.
"""

import math
from fractions import Fraction

import numpy as np
from scipy.optimize import linprog

import references as ref

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


class _Programme:
    """The linear programme of one curve, in corrections to a start, scaled to order one.

    Variables: the corrections of the Chebyshev coefficients (DEGREE + 1 per segment), the
    largest deviation e_k of every segment, the largest E of them all and the step j_k at
    every join.
    """

    def __init__(self, segments, samples, values, start, scale):
        count = len(segments)
        width = DEGREE + 1
        self.count, self.width, self.start, self.scale = count, width, start, scale
        self.n_coef = width * count
        self.i_e = self.n_coef
        self.i_worst = self.i_e + count
        self.i_join = self.i_worst + 1
        self.n_var = self.i_join + count - 1
        rows, rhs = [], []

        def deviation_rows(k, basis, residual, bound_index):
            # +-(basis . d) - bound <= +-residual
            for sign in (1.0, -1.0):
                block = np.zeros((len(residual), self.n_var))
                block[:, width * k : width * (k + 1)] = sign * basis
                block[:, bound_index] = -1.0
                rows.append(block)
                rhs.append(sign * residual)

        for k, seg in enumerate(segments):
            basis = _chebyshev_basis(seg.x(samples[k]))
            deviation_rows(k, basis, (values[k] - basis @ start[k]) / scale, self.i_e + k)
            cap = np.zeros((1, self.n_var))
            cap[0, self.i_e + k], cap[0, self.i_worst] = 1.0, -1.0
            rows.append(cap)
            rhs.append(np.zeros(1))

        left = _chebyshev_basis(np.array([1.0]))[0]
        right = _chebyshev_basis(np.array([-1.0]))[0]
        for k in range(count - 1):
            step = (left @ start[k] - right @ start[k + 1]) / scale
            for sign in (1.0, -1.0):
                row = np.zeros((1, self.n_var))
                row[0, width * k : width * (k + 1)] = sign * left
                row[0, width * (k + 1) : width * (k + 2)] = -sign * right
                row[0, self.i_join + k] = -1.0
                rows.append(row)
                rhs.append(np.array([-sign * step]))

        self.a_ub, self.b_ub = np.vstack(rows), np.concatenate(rhs)
        self.bounds = [(None, None)] * self.n_coef + [(0.0, None)] * (self.n_var - self.n_coef)

    def minimise(self, indices):
        """Minimises the sum of the given variables; the solution, or None if none was found."""
        objective = np.zeros(self.n_var)
        objective[indices] = 1.0
        result = linprog(objective, self.a_ub, self.b_ub, bounds=self.bounds, method="highs")
        return result.x if result.status == 0 else None

    def hold(self, indices, values):
        """Keeps the given variables at (a hair above, for the solver's tolerance) the values
        just reached."""
        for i, v in zip(indices, values):
            self.bounds[i] = (0.0, v * (1.0 + 1e-5) + 1e-7)

    def coefficients(self, x):
        w = self.width
        return [self.start[k] + self.scale * x[w * k : w * (k + 1)] for k in range(self.count)]


def _solve(segments, samples, values, start, scale):
    """Minimax in order of importance: the curve's largest deviation, the steps at the joins,
    and last the largest deviation of every segment."""
    lp = _Programme(segments, samples, values, start, scale)
    x = lp.minimise([lp.i_worst])
    if x is None:
        raise RuntimeError("the minimax programme has no solution")
    lp.hold([lp.i_worst], [x[lp.i_worst]])
    joins = list(range(lp.i_join, lp.i_join + lp.count - 1))
    for stage in ([joins] if joins else []) + [list(range(lp.i_e, lp.i_e + lp.count))]:
        better = lp.minimise(stage)
        if better is None:  # a later stage is a refinement; keep what the last one reached
            break
        x = better
        lp.hold(stage, x[stage])
    return lp.coefficients(x)


def _local_peaks(error):
    """Indices of the local maxima of |error| (ends included)."""
    a = np.abs(error)
    inner = np.flatnonzero((a[1:-1] >= a[:-2]) & (a[1:-1] >= a[2:])) + 1
    return np.unique(np.concatenate(([0, len(a) - 1], inner)))


def fit_chebyshev(curve):
    """Minimax Chebyshev coefficients of every segment, in the segment's own variable."""
    segments = [_Segment(lo, hi) for lo, hi in segment_domains(curve)]
    samples = [seg.grid(SAMPLES_PER_SEGMENT) for seg in segments]
    values = [curve.reference(t) for t in samples]
    start = [
        np.linalg.lstsq(_chebyshev_basis(seg.x(t)), v, rcond=None)[0]
        for seg, t, v in zip(segments, samples, values)
    ]
    spread = max(np.max(np.abs(v)) for v in values)

    def largest_deviation(k, c):
        return np.max(np.abs(_chebyshev_basis(segments[k].x(samples[k])) @ c - values[k]))

    for _ in range(EXCHANGE_ROUNDS):
        scale = max(max(largest_deviation(k, c) for k, c in enumerate(start)), 1e-13 * spread)
        coefficients = _solve(segments, samples, values, start, scale)
        grown = False
        for k, seg in enumerate(segments):
            seen = largest_deviation(k, coefficients[k])
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


def table_temperatures(curve):
    points, _, table_standard = curve.table
    t = np.array([p[0] for p in points], dtype=float)
    if table_standard == curve.standard:
        return t
    if curve.standard == "ITS-90":  # table on IPTS-68
        return ref.t90_from_t68(t)
    return t - ref.t90_minus_t68(t)


def _round_significant(value):
    return float("%.*g" % (SIGNIFICANT_DIGITS, value))


def to_monomials(segment, chebyshev):
    """Exact change of variable to powers of t, then rounded to SIGNIFICANT_DIGITS."""
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
                term = Fraction(a) * p * math.comb(i, m) * (-mid) ** (i - m) / half**i
                result[m] += term
    return [_round_significant(float(c)) for c in result]


def fit_curve(curve):
    """Monomial coefficients c0..c4 of every segment of the curve."""
    segments, chebyshev = fit_chebyshev(curve)
    return [to_monomials(seg, c) for seg, c in zip(segments, chebyshev)]


def evaluate_as_calibrator(curve, coefficients, t):
    """The calibrator's evaluation: segment search, double Horner from c4, single result."""
    t = single(t)
    uppers = single(curve.bounds)
    index = np.zeros(t.shape, dtype=int)
    for k in range(len(uppers) - 1):
        index += (t >= uppers[k]) & (index == k)
    c = np.array(coefficients)[index]
    acc = c[:, 4].copy()
    for j in (3, 2, 1, 0):
        acc = t * acc + c[:, j]
    return single(acc)
