// The uncertainty of a test point's error: what the calibrator's stated accuracy and the
// display's resolution leave open, expanded with k = 2, and the test uncertainty ratio; values
// quoted to the uncertainty; and verdicts by the lab's decision rule.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "lab/lab.h"
#include "records/result.h"

namespace kvtapp {

// One source of doubt: a rectangular distribution of this half-width, carried into the
// reading's units by the sensitivity.
struct Contribution {
    double halfWidth = 0;
    double sensitivity = 1;
};

// The half-width of a stated accuracy ± (% of reading + % of range) at a value.
double accuracyHalfWidth(const kvtlab::Accuracy& accuracy, double value, double range);

// The expanded uncertainty, k = 2: twice the root sum of squares of the standard
// uncertainties, each the half-width times the sensitivity over the square root of three.
double expandedUncertainty(const std::vector<Contribution>& contributions);

// The test uncertainty ratio: the tolerance's half-width over the expanded uncertainty, both
// in the same units; NaN when either is not positive.
double testUncertaintyRatio(double tolerance, double expanded);

// The stated accuracy of what measured or sourced one side of a test, and the range its % of
// range is of: NaN for the range the point was taken in, as the result recorded it.
struct StatedAccuracy {
    kvtlab::Accuracy accuracy;
    double range = std::nan("");
};

// The accuracies of both sides of a result's test: of the calibrator's function, or of the
// pressure module for a pressure (its range in the result's pressure units). Nothing for a
// side whose accuracy the lab file does not give (missing then says which); a side that
// neither measures nor sources needs none.
struct TestAccuracies {
    std::optional<StatedAccuracy> reading, source;
    bool sourceNeeded = true;
    std::string missing;  // why one is not known; empty when both are
};
TestAccuracies testAccuracies(const Result& result, const kvtlab::Standard* calibrator,
                              const kvtlab::Standard* module);

// The expanded uncertainty (k = 2) of a point's error in the units of its reading (base units):
// the calibrator's accuracy at the reading, its accuracy at the value sourced carried through
// the scales (input span over output span), and half the display's step of the reading, each
// a rectangular distribution. NaN when an accuracy or the step is not known.
double pointUncertainty(const Result& result, const Point& point, const TestAccuracies& accuracies);

// A value and its expanded uncertainty as a certificate quotes them: U rounded up to two
// significant digits, the value rounded to the same decimal place, both in plain decimals
// ("0.012" and "4.006"; "1200" and "56800"). Without an uncertainty (NaN) the value is empty.
struct Quoted {
    std::string value, uncertainty;
};
Quoted quoted(double value, double uncertainty);
// U rounded up to two significant digits, and its decimal place (negative for tens).
int uncertaintyDecimals(double uncertainty);
std::string fixedDecimals(double value, int decimals);

// Judges a result's points by the decision rule: each point's U (from the accuracies) and TUR,
// and its verdict. Simple acceptance keeps the verdict on the reading; guarded acceptance
// passes a point only when |error| + U is within the tolerance, and leaves a point whose U is
// not known unjudged. A point beyond its range fails either way. The result's verdict follows
// its points'.
void judge(Result& result, const TestAccuracies& accuracies, kvtlab::DecisionRule rule);
// A point whose test uncertainty ratio is below the lab's minimum.
bool lowTur(const Point& point, double minimum);

}  // namespace kvtapp
