// The calibration results of the library's results memory, read through the public C API.
#pragma once

#include <ostream>

namespace kvtcli {

// Prints each calibration result: its tag, the task and strategy it came from, and a table of
// its test points in base units with the upper limits of their ranges. Prints nothing when
// the results memory holds no result.
void printResults(std::ostream& out);

}  // namespace kvtcli
