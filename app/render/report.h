// The calibration report: one self-contained HTML page (inline CSS and SVG, no scripts, no
// external files) with a section per calibration result and an overall verdict.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/escape.h"
#include "result.h"

namespace kvtcli {

struct ReportSource {
    nlohmann::ordered_json calibrator;  // identity and upload time, when known (else null)
    std::string origin;                 // the image file, or the calibrator's port
    std::string written;                // when the report is written
};

std::string reportHtml(const std::vector<ResultView>& results, const ReportSource& source);

// The plot of a result's errors against its test points, with the tolerance band shaded and
// the points up and down the span told apart; an SVG element.
std::string errorPlot(const ResultView& result);

// A round step for the grid of an error axis: cuts half its range into about three.
double niceStep(double half);

// Every text of a page goes through it: tags, names and file names shown as text, control
// characters as visible escapes.
using kvttools::escapeHtml;

}  // namespace kvtcli
