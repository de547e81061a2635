#include "registry.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "common/files.h"
#include "common/json_text.h"

namespace k27emu {
namespace {

using kvttools::Json;

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : "";
}

std::string registryDirectory() {
    std::string base = fromEnvironment("XDG_RUNTIME_DIR");
    if (base.empty()) base = fromEnvironment("XDG_STATE_HOME");
    if (base.empty()) {
        const std::string home = fromEnvironment("HOME");
        if (home.empty()) return "";
        base = home + "/.local/state";
    }
    return base + "/kvtlnk";
}

// Makes each missing directory of the path, the last one private.
bool makeDirectories(const std::string& dir) {
    for (size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1))
        ::mkdir(dir.substr(0, at).c_str(), 0755);
    struct stat st {};
    return (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) && ::stat(dir.c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

// The fields of /proc/PID/stat after the command name, which may hold spaces and parentheses;
// empty when it cannot be read.
std::vector<std::string> statFields(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::vector<std::string> fields;
    const size_t end = std::getline(in, text) ? text.rfind(')') : std::string::npos;
    if (end == std::string::npos) return fields;
    std::istringstream words(text.substr(end + 1));
    for (std::string w; words >> w;)
        fields.push_back(w);
    return fields;
}

bool alive(const RegisteredEmulator& e) {
    if (!processRuns(e.pid)) return false;
    // A pid taken again by another process after the emulator ended has another start time.
    const uint64_t started = processStartTime(e.pid);
    if (e.started != 0 && started != 0 && started != e.started) return false;
    struct stat st {};
    return ::stat(e.port.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::optional<RegisteredEmulator> parseEntry(const std::string& text) {
    std::string reason, field;
    const std::optional<Json> doc = kvttools::parseJson(text, &reason, &field);
    if (!doc || !doc->is_object()) return std::nullopt;
    const auto port = doc->find("port");
    const auto pid = doc->find("pid");
    const auto started = doc->find("started");
    const auto state = doc->find("state");
    if (port == doc->end() || !port->is_string() || pid == doc->end() ||
        !pid->is_number_unsigned() || pid->get<uint64_t>() > 0x7FFFFFFF ||
        (started != doc->end() && !started->is_number_unsigned()) ||
        (state != doc->end() && !state->is_string())) {
        return std::nullopt;
    }
    RegisteredEmulator e;
    e.port = port->get<std::string>();
    e.pid = static_cast<pid_t>(pid->get<uint64_t>());
    e.started = started != doc->end() ? started->get<uint64_t>() : 0;
    e.state = state != doc->end() ? state->get<std::string>() : "";
    if (e.port.rfind("/dev/", 0) != 0) return std::nullopt;
    return e;
}

}  // namespace

std::string registryPath() {
    const std::string dir = registryDirectory();
    return dir.empty() ? "" : dir + "/emulator.json";
}

uint64_t processStartTime(pid_t pid) {
    // Field 22 of the line; the list starts at field 3, the state.
    const std::vector<std::string> fields = statFields(pid);
    return fields.size() > 19 ? std::strtoull(fields[19].c_str(), nullptr, 10) : 0;
}

bool processRuns(pid_t pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return false;
    const std::vector<std::string> fields = statFields(pid);
    return fields.empty() || (fields[0] != "Z" && fields[0] != "X");
}

Registered findRegistered(RegisteredEmulator* found) {
    const std::string path = registryPath();
    std::string text, error;
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return Registered::None;
    const std::optional<RegisteredEmulator> entry =
        kvttools::readTextFile(path, &text, &error) ? parseEntry(text) : std::nullopt;
    if (entry) *found = *entry;
    if (entry && alive(*entry)) return Registered::Running;
    ::unlink(path.c_str());
    return Registered::Stale;
}

bool registerEmulator(const RegisteredEmulator& entry, std::string* error) {
    const std::string path = registryPath();
    if (path.empty()) {
        *error = "no place for the emulator's registry: set XDG_RUNTIME_DIR or HOME";
        return false;
    }
    if (!makeDirectories(path.substr(0, path.rfind('/')))) {
        *error = "cannot make the directory of " + path;
        return false;
    }
    const Json doc = {{"port", entry.port},
                      {"pid", static_cast<uint64_t>(entry.pid)},
                      {"started", entry.started},
                      {"state", entry.state}};
    kvttools::AtomicFile file;
    return file.open(path, error) && file.commit(doc.dump() + "\n", error);
}

void unregisterEmulator(pid_t pid) {
    const std::string path = registryPath();
    std::string text, error;
    if (path.empty() || !kvttools::readTextFile(path, &text, &error)) return;
    const std::optional<RegisteredEmulator> entry = parseEntry(text);
    if (!entry || entry->pid == pid) ::unlink(path.c_str());
}

}  // namespace k27emu
