#include "base/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "base/error.h"

namespace kvtapp {
namespace {

std::mutex inputsMutex;
std::vector<std::string> inputs;  // each path readFile read, once

// Where a path leads: the file that stands there, and the folder with the last name, which is
// all that a file not made yet has.
struct Place {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool folderExists = false;
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
    std::string name;
};

Place placeOf(const std::string& path) {
    Place p;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        p.exists = true;
        p.device = st.st_dev;
        p.inode = st.st_ino;
    }
    const std::filesystem::path named(path);
    const std::string folder = named.parent_path().empty() ? "." : named.parent_path().string();
    p.name = named.filename().string();
    if (::stat(folder.c_str(), &st) == 0) {
        p.folderExists = true;
        p.folderDevice = st.st_dev;
        p.folderInode = st.st_ino;
    }
    return p;
}

bool samePlace(const Place& a, const Place& b) {
    if (a.exists || b.exists)
        return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
    return a.folderExists && b.folderExists && a.folderDevice == b.folderDevice &&
           a.folderInode == b.folderInode && a.name == b.name;
}

}  // namespace

std::string readFile(const std::string& path) {
    std::string text;
    std::string error;
    if (!kvttools::readTextFile(path, &text, &error)) throw inputError("cannot read " + error);
    if (path != "-") {
        std::lock_guard<std::mutex> lock(inputsMutex);
        if (std::find(inputs.begin(), inputs.end(), path) == inputs.end()) inputs.push_back(path);
    }
    return text;
}

nlohmann::ordered_json readJsonFile(const std::string& path) {
    Problem problem;
    std::optional<nlohmann::ordered_json> value =
        kvttools::parseJson(readFile(path), &problem.message, &problem.field);
    if (!value) throw Error::fileProblems(path, {problem});
    return std::move(*value);
}

std::vector<KeptFile> inputsRead() {
    std::lock_guard<std::mutex> lock(inputsMutex);
    std::vector<KeptFile> kept;
    for (const std::string& path : inputs)
        kept.push_back({path, "an input of this command"});
    return kept;
}

void refuseKept(const std::string& output, const std::vector<KeptFile>& kept) {
    const Place place = placeOf(output);
    for (const KeptFile& k : kept) {
        if (samePlace(place, placeOf(k.path))) {
            throw inputError("cannot write " + output + ": it is " + k.what +
                             "; name another file");
        }
    }
}

OutputFile::OutputFile(const std::string& path, const OutputGuard& guard, bool replace)
    : guard_(guard) {
    refuseKept(path, guard_.keptFiles());
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
    refuseKept(path(), guard_.keptFiles());
    std::string error;
    if (!file_.commit(text, &error)) throw inputError("cannot write " + error);
}

}  // namespace kvtapp
