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
import catalogue as cat  # noqa: E402
import cpp_writer  # noqa: E402
import minimax  # noqa: E402
import report_writer  # noqa: E402

NOTES = [
    "- IPTS-68 thermocouples B, E, J, K, N, R, S and T follow the NBS IPTS-68 reference "
    "functions; type C follows the ITS-90 (ASTM) function through the t90 - t68 difference, "
    "E68(t) = E90(t90(t)). They keep the segment bounds of their ITS-90 twins.",
    "- Types L and U rest on the DIN 43710 table (100 C steps, 0.01 mV, taken as IPTS-68) "
    "through a not-a-knot cubic spline; their ITS-90 curves use E90(t) = E68(t68(t)). The "
    "IPTS-68 L and U curves break at the table's 100 C points (-100 to 700 C, then 900 C "
    "for L; -100 to 600 C for U). The L values above 400 C are the usual printed ones and "
    "were not checked against a copy of the standard.",
    "- Nickel 120 (Edison No. 7, 0.01 Ohm) and copper 10 (Edison No. 15, 0.001 Ohm) rest on "
    "tables taken as ITS-90; their IPTS-68 curves use R68(t) = R90(t90(t)). Below -50 C the "
    "nickel curve and above 250 C the copper curve extend the spline's end pieces. A single "
    "quartic per segment cannot follow these tables to their last digit; the residuals "
    "stand below.",
    "- Platinum 385 curves: Callendar-Van Dusen with the IEC 60751 constants (ITS-90) and "
    "the IEC 751:1983 constants (IPTS-68), scaled to 100, 200, 500 and 1000 Ohm. Their "
    "first segment spans 0 C, where the reference changes from quartic to quadratic: that "
    "kink is what limits them.",
    "- `rtd_pt100_392` uses the alpha 0.003926 constants (A 3.9848E-3, B -5.870E-7, "
    "C -4.000E-12) and `rtd_pt100_3916` the JIS C 1604-1981 constants; both are IPTS-68 "
    "definitions, with R90(t) = R68(t68(t)) for ITS-90. The quartic cannot follow the "
    "t90 - t68 difference to better than about 1 mOhm on the ITS-90 segments. Under "
    "IPTS-68 both split at 14.7 C, like the other platinum curves.",
    "- Every other deviation above target is the quartic's limit on the fixed segments: "
    "a per-segment minimax without joins reaches no lower.",
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
        text = report_writer.write_report(sections, comparisons, results, NOTES)
        with open(args.report, "w", encoding="ascii", newline="\n") as out:
            out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
