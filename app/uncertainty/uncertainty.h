// The uncertainty of a test point's error: what the calibrator's stated accuracy and the
// display's resolution leave open, expanded with k = 2, and the test uncertainty ratio.
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

}  // namespace kvtapp
