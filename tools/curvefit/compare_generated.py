"""Compares a freshly generated curve table or accuracy report with the committed one.

The fit runs through LAPACK and libm, whose last bits differ between processors, so the texts
may differ in a coefficient's twelfth digit or in the sign of a zero. What matters is the
value the curve gives: a table matches when every coefficient's share of the curve, |dc_k| t^k
over the segment's temperatures, stays below 1e-6 (a nanovolt, a micro-ohm); a report matches
when its texts are equal and its numbers agree to their printed digits.

  compare_generated.py tables|report PRODUCED COMMITTED
"""
import re
import sys

NUMBER = re.compile(r"[-+]?(?:\d+\.\d*|\.\d+|\d+)(?:[eE][-+]?\d+)?")
SEGMENT = re.compile(r"\{(" + NUMBER.pattern + r")f, \{([^}]*)\}\}")


def texts_and_numbers(text):
    return NUMBER.sub("#", text), [m.group(0) for m in NUMBER.finditer(text)]


def segments(text):
    return [(float(m.group(1)), [float(c) for c in m.group(2).split(",")])
            for m in SEGMENT.finditer(text)]


def tables_match(produced, committed):
    if SEGMENT.sub("#", produced) != SEGMENT.sub("#", committed):
        return "the text around the coefficients differs"
    for (bound, ours), (bound2, theirs) in zip(segments(produced), segments(committed)):
        if bound != bound2 or len(ours) != len(theirs):
            return f"segment {bound} differs in its bound or its number of coefficients"
        reach = max(abs(bound), 100.0)
        for k, (a, b) in enumerate(zip(ours, theirs)):
            if abs(a - b) * reach**k > 1e-6:
                return f"segment below {bound}: coefficient {k} is {a}, committed {b}"
    return None


def report_match(produced, committed):
    (shape, ours), (shape2, theirs) = texts_and_numbers(produced), texts_and_numbers(committed)
    if shape != shape2:
        return "the text differs"
    for a, b in zip(ours, theirs):
        digits = len(b.split(".")[1]) if "." in b and "e" not in b.lower() else 0
        if abs(float(a) - float(b)) > 10.0**-digits * 1.01:
            return f"{a} where the committed report has {b}"
    return None


def main():
    kind, produced, committed = sys.argv[1:4]
    with open(produced) as p, open(committed) as c:
        problem = (tables_match if kind == "tables" else report_match)(p.read(), c.read())
    if problem:
        print(f"{committed}: {problem}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
