// The pages of results: the calibration report (a section per result of an image, and an
// overall verdict) and the drift page of an instrument (its errors across its calibration
// calibrations). Each is one self-contained HTML page (inline CSS and SVG, no scripts, nothing
// fetched) that is also well-formed XML.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/calibration.h"

namespace kvtapp {

struct ReportSource {
    std::optional<Calibrator> calibrator;  // when the results came from one
    std::string uploaded;                  // when, "" when not known
    std::string origin;                    // the image file, or the calibrator's port
    std::string written;                   // when the report is written
    std::string writer;                    // "kvtlnk 1.1.0, library 1.1.0"
};

std::string reportHtml(const std::vector<Result>& results, const ReportSource& source);

std::string driftPage(const std::string& tag, const std::vector<Calibration>& calibrations,
                      const std::string& written);

}  // namespace kvtapp
