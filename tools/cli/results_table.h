// The calibration results of the library's results memory, read through the public C API.
#pragma once

#include <ostream>

namespace kvtcli {

// Appends to the library's procedure memory a task of two field tests whose setups are made
// with the STA calls and saved with STAsave: a 4-20 mA flow transmitter driven from a 1-5 V
// source, and a Pt100 simulated at 0 ... 200 C while its transmitter's 4-20 mA is measured.
// Throws CliError when the library refuses a call.
void appendFieldTests();

// Prints each calibration result: its tag, the task and strategy it came from, and a table of
// its test points in base units with the upper limits of their ranges. Prints nothing when
// the results memory holds no result.
void printResults(std::ostream& out);

}  // namespace kvtcli
