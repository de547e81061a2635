// The application's requests of Windows.
#include <io.h>
#include <shlwapi.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "base/error.h"
#include "base/platform.h"

namespace kvtapp::platform {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kSliceMs = 200;

std::string lastError() {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

// A word of a command line as the C runtime splits it again.
std::string quoted(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    return out.append(backslashes * 2, '\\') + "\"";
}

}  // namespace

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string configFolder() {
    return environment("APPDATA");
}

std::string dataFolder() {
    const std::string local = environment("LOCALAPPDATA");
    return local.empty() ? environment("APPDATA") : local;
}

std::string hostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? name : "";
}

std::string userName() {
    return environment("USERNAME");
}

bool writableFolder(const std::string& folder) {
    return _access(folder.c_str(), 2) == 0;
}

bool matchesPattern(const std::string& pattern, const std::string& text) {
    return PathMatchSpecA(text.c_str(), pattern.c_str()) != FALSE;
}

std::string makeScratchFolder(const std::string& prefix) {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::mt19937 random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ GetCurrentProcessId()));
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        const fs::path folder = base / (prefix + "-" + std::to_string(random() % 1000000));
        if (fs::create_directory(folder, error)) return folder.string();
    }
    throw calibratorError("cannot make a scratch folder in " + base.string());
}

std::unique_ptr<PipedProgram> startPipedProgram(const std::vector<std::string>&,
                                                const std::string&) {
    return nullptr;
}

ProgramEnd runProgram(const std::vector<std::string>& command, const std::string& log,
                      int timeLimitMs, const std::function<void()>& checkpoint) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string line;
    for (const std::string& word : command)
        line += (line.empty() ? "" : " ") + quoted(word);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    // A job holds the program and whatever it starts, so that stopping it stops them all.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    const BOOL started =
        CreateProcessA(command[0].c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const std::string why = started ? "" : lastError();
    CloseHandle(output);
    CloseHandle(input);
    if (!started) {
        CloseHandle(job);
        throw calibratorError("cannot start " + command[0] + ": " + why);
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    ProgramEnd end;
    const auto stop = [&] {
        TerminateJobObject(job, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(job);
    };
    try {
        for (int waited = 0; !end.finished && waited < timeLimitMs; waited += int(kSliceMs)) {
            end.finished = WaitForSingleObject(process.hProcess, kSliceMs) == WAIT_OBJECT_0;
            if (!end.finished && checkpoint) checkpoint();
        }
    } catch (...) {
        stop();
        CloseHandle(process.hProcess);
        throw;
    }
    DWORD status = 0;
    if (end.finished && GetExitCodeProcess(process.hProcess, &status)) {
        end.exited = true;
        end.exitStatus = static_cast<int>(status);
    }
    stop();
    CloseHandle(process.hProcess);
    return end;
}

std::string findProgram(const std::vector<std::string>& names) {
    std::istringstream folders(environment("PATH"));
    std::vector<std::string> list;
    for (std::string folder; std::getline(folders, folder, ';');)
        list.push_back(folder.empty() ? "." : folder);
    for (const std::string& name : names) {
        for (const std::string& folder : list) {
            for (const char* suffix : {"", ".exe"}) {
                const std::string candidate = folder + "\\" + name + suffix;
                if (_access(candidate.c_str(), 0) == 0 && !fs::is_directory(candidate))
                    return candidate;
            }
        }
    }
    return "";
}

std::string portProblem(const std::string&, bool) {
    return "";  // the library's result code says what there is to say
}

}  // namespace kvtapp::platform
