#include "pdf.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "error.h"
#include "interrupt.h"

extern char** environ;

namespace kvtcli {
namespace {

constexpr int kTimeLimitMs = 120000;
constexpr int kSliceMs = 200;  // how often an interrupt is looked for while Chromium prints

std::string browser() {
    if (const char* named = std::getenv("KVTLNK_CHROMIUM"); named && *named) return named;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    std::vector<std::string> list;
    for (std::string folder; std::getline(folders, folder, ':');)
        list.push_back(folder.empty() ? "." : folder);
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        for (const std::string& folder : list) {
            const std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    throw inputError(
        "a PDF is printed by Chromium, which is not installed: install the Debian package "
        "chromium, or name the browser in KVTLNK_CHROMIUM; without --pdf the certificate is "
        "written as HTML");
}

// A folder of its own, removed with the object.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtpdf-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw CliError(kExitCalibrator, "cannot make a temporary folder to print the PDF in: " +
                                                std::string(std::strerror(errno)));
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Starts the program in a process group of its own, with no signal blocked and its output in
// the log; returns its process id.
pid_t start(const std::vector<std::string>& command, const std::string& log) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        throw CliError(kExitCalibrator,
                       "cannot start " + command[0] + ": " + std::string(std::strerror(rc)));
    }
    return pid;
}

// Waits for the process to end, at most the time limit, looking for an interrupt between
// waits; stops its whole group when either comes first. Helpers it left behind go with it:
// the group is ended while the process, ended but not yet waited for, still holds its id.
// Returns its wait status.
int finish(pid_t pid) {
    const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    const auto end = [&] {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (handle >= 0) close(handle);
    };
    if (handle < 0) {  // a kernel without process handles: wait without a limit
        waitpid(pid, &status, 0);
        return status;
    }
    bool ended = false;
    try {
        for (int waited = 0; !ended && waited < kTimeLimitMs; waited += kSliceMs) {
            pollfd process{handle, POLLIN, 0};
            ended = poll(&process, 1, kSliceMs) > 0;
            if (!ended) checkInterrupt();
        }
    } catch (...) {
        end();
        throw;
    }
    end();
    if (!ended) {
        throw CliError(kExitCalibrator, "Chromium did not print the PDF within " +
                                            std::to_string(kTimeLimitMs / 1000) +
                                            " s: it was stopped, and no PDF was written");
    }
    return status;
}

}  // namespace

std::string printPdf(const std::string& html) {
    const std::string program = browser();
    ScratchFolder folder;
    const std::string page = folder / "certificate.html";
    const std::string pdf = folder / "certificate.pdf";
    const std::string log = folder / "chromium.log";
    std::ofstream(page, std::ios::binary) << html;
    // The page runs no script and fetches nothing (its own policy says so), which is what
    // makes Chromium's sandbox dispensable; it cannot run as root or in many containers.
    const int status = finish(start(
        {program, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--no-pdf-header-footer",
         "--user-data-dir=" + (folder / "profile"), "--print-to-pdf=" + pdf, "file://" + page},
        log));
    std::string bytes = readAll(pdf);
    if (bytes.compare(0, 5, "%PDF-") != 0) {
        std::string said = readAll(log);
        if (said.size() > 600) said = "..." + said.substr(said.size() - 600);
        throw CliError(kExitCalibrator,
                       program + " did not print the PDF (" +
                           (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : std::string("stopped by a signal")) +
                           "); it said: " + said);
    }
    return bytes;
}

}  // namespace kvtcli
