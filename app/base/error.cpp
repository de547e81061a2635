#include "base/error.h"

#include <fmt/format.h>

#include "kvtlnk/kvtlnk_messages.h"

namespace kvtapp {

Error Error::fileProblems(const std::string& file, std::vector<Problem> problems) {
    std::string message;
    for (const Problem& p : problems) {
        message += (message.empty() ? "" : "\n") + file + ": " + p.field + ": " + p.message;
    }
    if (problems.size() > 1) {
        message += fmt::format("\n{}: {} problems", file, problems.size());
    }
    Error error(Fault::Input, message);
    error.problems_ = std::move(problems);
    return error;
}

Error libraryError(uint32_t resultCode, const std::string& what, const std::string& consequence) {
    std::string message = fmt::format("{}: {}: {}", what, resultCode, kvtlnkMessage(resultCode));
    if (!consequence.empty()) message += " (" + consequence + ")";
    return Error(Fault::Calibrator, message, resultCode);
}

}  // namespace kvtapp
