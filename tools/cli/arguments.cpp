#include "arguments.h"

#include <fmt/format.h>

#include "base/numbers.h"

namespace kvtcli {

CLI::Validator wholeIn(int64_t low, int64_t high) {
    return CLI::Validator(
        [low, high](std::string& text) {
            return kvtapp::wholeNumber(text, low, high)
                       ? std::string()
                       : fmt::format("\"{}\" is not a whole number from {} to {}", text, low, high);
        },
        fmt::format("{} to {}", low, high));
}

}  // namespace kvtcli
