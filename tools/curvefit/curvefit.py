#!/usr/bin/python3
"""Fits the calibrator's 38 piecewise quartic sensor curves to their reference functions.

Writes the C++ tables (src/readings/sensor_curve_tables.cpp) and the accuracy report
(docs/sensor-accuracy.md). Deterministic: the same data give byte-identical output.

    curvefit.py --tables OUT.cpp --report OUT.md
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import accuracy  # noqa: E402
import reference_data as data  # noqa: E402
import catalogue as cat  # noqa: E402
import cpp_writer  # noqa: E402
import minimax  # noqa: E402
import report_writer  # noqa: E402

def _family_lines(tables, results):
    """One line per family: the curves within target and the ones that are not."""
    lines = []
    for title, curves in tables:
        kept = [c for c in curves if c.target is not None]
        unit = "uV" if kept[0].unit == "mV" else "mOhm"
        over = [
            "%s %.3f %s at %g C" % (c.name, r.worst * 1000.0, unit, round(r.worst_at, 1))
            for c in kept
            for r in [results[(c.name, c.standard)]]
            if not r.within_target
        ]
        met = [c.name for c in kept if results[(c.name, c.standard)].within_target]
        lines.append(
            "- %s: within target %s; above it %s."
            % (title, ", ".join(met) or "none", ", ".join(over) or "none")
        )
    return lines


def _pt100_392_lines():
    """The data behind the choice of constants for rtd_pt100_392."""
    slopes = []
    for label, constants in (("alpha 0.003926", data.PT3926), ("SAMA 0.00392", data.PT392_SAMA)):
        curve = cat.rtd_curve(1, cat.ITS90, constants)
        c1 = minimax.fit_curve(curve)[1][1]
        slopes.append("%s %.5f Ohm/C" % (label, c1))
    jis = minimax.fit_curve(cat.rtd_curve(8, cat.ITS90))[1][1]
    return [
        "- `rtd_pt100_392` (one line in `catalogue.py`, `PT100_392`): the K27's curve rises "
        "about 0.3987 Ohm/C above 0 C and splits at 29.9 C under ITS-90 but, like the other "
        "platinum curves, at 14.7 C under IPTS-68. Its own ITS-90 split marks a curve defined "
        "on IPTS-68 and carried to ITS-90 (the JPt100 curve splits at 27.5 C the same way, and "
        "its fitted ITS-90 slope, %.5f Ohm/C, is close to the K27's 0.3977). Fitted the same way, "
        "the ITS-90 slope above the split is: %s. The alpha 0.003926 set (A 3.9848E-3, "
        "B -5.870E-7, C -4.000E-12) is the one that matches, so `rtd_pt100_392` uses it on "
        "IPTS-68, with R90(t) = R68(t68(t))." % (jis, "; ".join(slopes))
    ]


def _nickel_lines(tables, fits):
    ni = [c for _, cs in tables for c in cs if c.name == "rtd_ni120"]
    values = ", ".join(
        "%s %.4f Ohm" % (c.standard, accuracy.least_squares_value(c, 0.0)) for c in ni
    )
    return [
        "- Nickel 120 (Edison No. 7, 0.01 Ohm) and copper 10 (Edison No. 15, 0.001 Ohm) rest "
        "on tables taken as ITS-90; their IPTS-68 curves use R68(t) = R90(t90(t)). Below "
        "-50 C the nickel curve follows the spline's end piece: a plain least-squares quartic "
        "on the same segments through this interpolant gives at 0 C %s, the K27's own values "
        "(120.0217 and 120.0203 Ohm): the K27's nickel curve rests on the same data, "
        "extension included. A quartic per segment cannot follow these tables to their last "
        "digit (residuals below)." % values
    ]


STATIC_NOTES = [
    "- Fit: minimax on each curve in stages. First the curve's largest deviation, with the "
    "segments free, which is therefore the best a quartic on these segments can do; then, "
    "with that held, the steps where segments meet (zero wherever that raises no deviation "
    "above it); then each segment's own largest deviation. Coefficients carry 12 "
    "significant digits.",
    "- Bounds chosen here: the IPTS-68 thermocouples B, C, E, J, K, N, R, S and T keep the "
    "bounds of their ITS-90 twins; the IPTS-68 L curve breaks at -100, 0, 100, ... 700 C and "
    "ends at 900 C, the IPTS-68 U curve at -100, 0, 100, ... 600 C (the 100 C points of the "
    "DIN 43710 table, so each segment spans one or two spline pieces); `rtd_pt100_392` and "
    "`rtd_pt100_3916` split at 14.7 C under IPTS-68, like the other platinum curves.",
    "- IPTS-68 thermocouples B, E, J, K, N, R, S and T follow the NBS IPTS-68 reference "
    "functions; only type C follows its ITS-90 (ASTM) function through the t90 - t68 "
    "difference, E68(t) = E90(t90(t)).",
    "- Types L and U rest on the DIN 43710 table (100 C steps, 0.01 mV, taken as IPTS-68) "
    "through a not-a-knot cubic spline; their ITS-90 curves use E90(t) = E68(t68(t)). The "
    "L values above 400 C are the usual printed ones and were not checked against a copy "
    "of the standard.",
    "- Platinum 385 curves: Callendar-Van Dusen with the IEC 60751 constants (ITS-90) and "
    "the IEC 751:1983 constants (IPTS-68), scaled to 100, 200, 500 and 1000 Ohm. The "
    "first segment spans 0 C, where the reference turns from quartic to quadratic: that "
    "kink is what limits them. The JPt100 and alpha 0.00392 curves are held on ITS-90 by "
    "the t90 - t68 difference, which a quartic follows to about 1 mOhm only.",
    "- Thermocouples E, J and T: the quartic on the fixed segments is the limit (the first "
    "stage of the fit leaves the segments free); the E curve's first join keeps a step, "
    "as closing it would raise the curve's largest deviation.",
]


def _comparison_lines(comparisons):
    close = sorted({"%s %s" % (row[0], row[1]) for row in comparisons if abs(row[6]) <= 2.0})
    far = ["%s %s at %g C" % row[:3] for row in comparisons if abs(row[6]) > 2.0]
    return [
        "- K27 values within 2 in their last digit: %s. Not within: %s. At those points the "
        "K27's own coefficients stand further from the reference than our curve does "
        "(thermocouples) or carry a least-squares fit's error at 0 C (nickel, copper; see "
        "below), so a minimax fit does not land on them."
        % (", ".join(close) or "none", ", ".join(far) or "none")
    ]


def fit_all():
    tables = [
        ("kThermocoupleIts90", cat.thermocouple_curves(cat.ITS90)),
        ("kThermocoupleIpts68", cat.thermocouple_curves(cat.IPTS68)),
        ("kRtdIts90", cat.rtd_curves(cat.ITS90)),
        ("kRtdIpts68", cat.rtd_curves(cat.IPTS68)),
    ]
    fits, results = {}, {}
    for _, curves in tables:
        for curve in curves:
            key = (curve.name, curve.standard)
            fits[key] = minimax.fit_curve(curve)
            results[key] = accuracy.measure(curve, fits[key])
    return tables, fits, results


def _summary(curve, result):
    unit = "uV" if curve.unit == "mV" else "mOhm"
    return "largest deviation %.3f %s (%.2f mK)" % (result.worst * 1000.0, unit, result.worst_mk)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tables", required=True, help="C++ source to write")
    parser.add_argument("--report", help="accuracy report to write (Markdown)")
    args = parser.parse_args()

    tables, fits, results = fit_all()
    summaries = {key: _summary(c, results[key]) for _, cs in tables for c in cs
                 for key in [(c.name, c.standard)]}
    with open(args.tables, "w", encoding="ascii", newline="\n") as out:
        out.write(cpp_writer.write_tables(tables, fits, summaries))
    if args.report:
        all_curves = [c for _, cs in tables for c in cs]
        comparisons = accuracy.calibrator_comparisons(all_curves, fits)
        sections = [
            ("Thermocouples, ITS-90", tables[0][1]),
            ("Thermocouples, IPTS-68", tables[1][1]),
            ("RTDs, ITS-90", tables[2][1]),
            ("RTDs, IPTS-68", tables[3][1]),
        ]
        notes = (
            _family_lines(sections, results)
            + STATIC_NOTES
            + _comparison_lines(comparisons)
            + _pt100_392_lines()
            + _nickel_lines(tables, fits)
        )
        text = report_writer.write_report(sections, comparisons, results, notes)
        with open(args.report, "w", encoding="ascii", newline="\n") as out:
            out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
