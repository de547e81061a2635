#include "failure.h"

#include "kvtlnk/kvtlnk_messages.h"

namespace kvtcli {

CliError libraryError(uint32_t resultCode, const std::string& what,
                      const std::string& consequence) {
    std::string message =
        what + ": " + std::to_string(resultCode) + ": " + kvtlnkMessage(resultCode);
    if (!consequence.empty()) message += " (" + consequence + ")";
    return CliError(kExitCalibrator, message, resultCode);
}

}  // namespace kvtcli
