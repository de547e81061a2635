// An instrument's calibration history from the archive, as text, JSON, CSV and the drift page.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "archive.h"

namespace kvtcli {

void printHistory(std::ostream& out, const std::string& tag,
                  const std::vector<kvtarchive::Event>& events);
nlohmann::ordered_json historyJson(const std::vector<kvtarchive::Event>& events);
std::string historyCsv(const std::vector<kvtarchive::Event>& events);

// The drift page: one self-contained HTML page with an SVG plot of the error at each test point
// across the events, the tolerance band shaded, as found and as left told apart, and a table of
// the events.
std::string driftPage(const std::string& tag, const std::vector<kvtarchive::Event>& events,
                      const std::string& written);

// A number of the archive for JSON: null for NaN.
nlohmann::ordered_json numberJson(double value);

}  // namespace kvtcli
