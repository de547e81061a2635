// The plots of the pages, as inline SVG: the errors of a result against its test points, and
// the drift of an instrument's errors across its calibration events. Both shade the tolerance
// band and tell their kinds of points apart in a legend.
#pragma once

#include <vector>

#include "records/calibration.h"
#include "render/html.h"

namespace kvtapp::html {

// The errors of a result (% of span) against its test points, the points up and down the span
// told apart and those outside the tolerance ringed.
Html errorPlot(const Result& result);

// The error at each test point across the events (by date), a line through the as-found errors
// of each point, the as-left errors marked apart, the tolerance of each event shaded until the
// next.
Html driftPlot(const std::vector<Calibration>& calibrations);

// A round step for the grid of an error axis: cuts half its range into about three.
double niceStep(double half);

}  // namespace kvtapp::html
