#include "error.h"

#include <fmt/format.h>

#include "kvtlnk/kvtlnk_messages.h"

namespace kvtcli {

CliError CliError::fileProblems(const std::string& file, std::vector<Problem> problems) {
    std::string message;
    for (const Problem& p : problems) {
        message += (message.empty() ? "" : "\n") + file + ": " + p.field + ": " + p.message;
    }
    if (problems.size() > 1) {
        message += fmt::format("\n{}: {} problems", file, problems.size());
    }
    CliError error(kExitInput, message);
    error.problems_ = std::move(problems);
    return error;
}

CliError libraryError(uint32_t resultCode, const std::string& what,
                      const std::string& consequence) {
    std::string message = fmt::format("{}: {}: {}", what, resultCode, kvtlnkMessage(resultCode));
    if (!consequence.empty()) message += " (" + consequence + ")";
    return CliError(kExitCalibrator, message, resultCode);
}

}  // namespace kvtcli
