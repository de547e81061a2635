#include "failure.h"

#include "kvtlnk/kvtlnk_messages.h"

namespace kvtcli {

CliError CliError::fileProblems(const std::string& file, std::vector<Problem> problems) {
    std::string message;
    for (const Problem& p : problems) {
        message += (message.empty() ? "" : "\n") + file + ": " + p.field + ": " + p.message;
    }
    if (problems.size() > 1) {
        message += "\n" + file + ": " + std::to_string(problems.size()) + " problems";
    }
    CliError error(kExitInput, message);
    error.problems_ = std::move(problems);
    return error;
}

CliError libraryError(uint32_t resultCode, const std::string& what,
                      const std::string& consequence) {
    std::string message =
        what + ": " + std::to_string(resultCode) + ": " + kvtlnkMessage(resultCode);
    if (!consequence.empty()) message += " (" + consequence + ")";
    return CliError(kExitCalibrator, message, resultCode);
}

}  // namespace kvtcli
