#include "base/files.h"

#include <filesystem>

#include "base/error.h"

namespace kvtapp {

std::string readFile(const std::string& path) {
    std::string text;
    std::string error;
    if (!kvttools::readTextFile(path, &text, &error)) throw inputError("cannot read " + error);
    return text;
}

nlohmann::ordered_json readJsonFile(const std::string& path) {
    Problem problem;
    std::optional<nlohmann::ordered_json> value =
        kvttools::parseJson(readFile(path), &problem.message, &problem.field);
    if (!value) throw Error::fileProblems(path, {problem});
    return std::move(*value);
}

OutputFile::OutputFile(const std::string& path, const OutputGuard& guard, bool replace) {
    OutputRules rules = guard.outputRules();
    rules.replace = rules.replace && replace;
    std::error_code unseen;
    if (!rules.replace &&
        std::filesystem::is_regular_file(std::filesystem::symlink_status(path, unseen))) {
        throw inputError(path + " exists: name another file" +
                         (rules.howToReplace.empty() || !replace
                              ? ""
                              : ", or " + rules.howToReplace + " to replace it"));
    }
    std::string error;
    if (!file_.open(path, &error, rules.replace)) throw inputError("cannot write " + error);
}

void OutputFile::commit(const std::string& text) {
    std::string error;
    if (!file_.commit(text, &error)) throw inputError("cannot write " + error);
}

}  // namespace kvtapp
