// Numbers of the tool's options as CLI11 takes them: the same rule as every number the tool
// parses (base/numbers.h), refused naming the option.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>

namespace kvtcli {

// A whole number from low to high, as wholeNumber takes it.
CLI::Validator wholeIn(int64_t low, int64_t high);

}  // namespace kvtcli
