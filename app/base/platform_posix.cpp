// The application's requests of a POSIX system (Linux).
#include <fcntl.h>
#include <fmt/format.h>
#include <fnmatch.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "base/platform.h"

extern char** environ;

namespace kvtapp::platform {
namespace {

namespace fs = std::filesystem;

constexpr int kSliceMs = 200;  // how often a running program's wait looks for a stop

std::string homeFolder() {
    std::string home = environment("HOME");
    if (home.empty()) {
        const passwd* user = getpwuid(getuid());
        if (user && user->pw_dir) home = user->pw_dir;
    }
    return home;
}

// $NAME when it is an absolute path, else the folder under the home folder.
std::string xdgFolder(const char* name, const char* underHome) {
    std::string folder = environment(name);
    if (folder.empty() || folder[0] != '/') folder = homeFolder() + underHome;
    return folder;
}

std::string permissionAdvice(const struct stat& st) {
    const group* g = ::getgrgid(st.st_gid);
    if (g != nullptr && st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP)) {
        return fmt::format("permission denied; add your user to the \"{}\" group and log in again",
                           g->gr_name);
    }
    return "permission denied; ask for read and write access to it";
}

std::string openProblem(int err, const struct stat& st) {
    switch (err) {
        case EACCES:
        case EPERM:
            return permissionAdvice(st);
        case EBUSY:
            return "busy: another program holds it; close that program and try again";
        case ENXIO:
        case ENODEV:
        case EIO:
            return "the device does not respond; was the adapter unplugged? Plug it in again";
        default:
            return std::strerror(err);
    }
}

// The first line of a file of /sys, empty when there is none.
std::string sysValue(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Starts the program in a process group of its own, with no signal blocked and its output in
// the log; returns its process id.
// Starts the program; channel, when not -1, becomes its descriptors 3 and 4.
pid_t start(const std::vector<std::string>& command, const std::string& log, int channel = -1) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (channel >= 0) {
        posix_spawn_file_actions_adddup2(&files, channel, 3);
        posix_spawn_file_actions_adddup2(&files, channel, 4);
    }
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
        throw calibratorError("cannot start " + command[0] + ": " + std::strerror(rc));
    }
    return pid;
}

}  // namespace

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string configFolder() {
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string dataFolder() {
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string hostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string userName() {
    const passwd* user = getpwuid(geteuid());
    if (user && user->pw_name) return user->pw_name;
    return environment("USER");
}

bool writableFolder(const std::string& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

bool matchesPattern(const std::string& pattern, const std::string& text) {
    return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

std::string makeScratchFolder(const std::string& prefix) {
    // Short enough for the library's dump files, which add their names to it.
    fs::path base = fs::temp_directory_path();
    if (base.string().size() > 160) base = "/tmp";
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        throw calibratorError("cannot make a scratch folder in " + base.string() + ": " +
                              std::strerror(errno));
    }
    return pattern;
}

// Waits for the process to end, at most the time limit, calling the checkpoint between waits;
// stops its whole group when either comes first. Helpers it left behind go with it: the group
// is ended while the process, ended but not yet waited for, still holds its id.
// The channel is one end of a pair of sockets: both of the program's descriptors are the other
// end, and sending on a socket whose reader is gone fails instead of raising SIGPIPE.
class PosixPipedProgram : public PipedProgram {
  public:
    PosixPipedProgram(const std::vector<std::string>& command, const std::string& log) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            throw calibratorError(std::string("cannot make a channel to a program: ") +
                                  std::strerror(errno));
        }
        // Above the descriptors it becomes, so that making them does not close it.
        const int high = fcntl(pair[1], F_DUPFD_CLOEXEC, 10);
        close(pair[1]);
        channel_ = pair[0];
        try {
            pid_ = start(command, log, high);
        } catch (...) {
            close(high);
            close(channel_);
            throw;
        }
        close(high);
    }

    ~PosixPipedProgram() override {
        close(channel_);
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    bool send(const std::string& bytes) override {
        for (size_t sent = 0; sent < bytes.size();) {
            const ssize_t n =
                ::send(channel_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += size_t(n);
        }
        return true;
    }

    std::string receive(int waitMs) override {
        pollfd channel{channel_, POLLIN, 0};
        const int ready = poll(&channel, 1, waitMs);
        if (ready <= 0) return "";
        char buffer[1 << 16];
        const ssize_t n = ::recv(channel_, buffer, sizeof buffer, 0);
        if (n > 0) return std::string(buffer, size_t(n));
        if (n < 0 && errno == EINTR) return "";
        int status = 0;
        const bool ended = waitpid(pid_, &status, WNOHANG) == pid_;
        throw calibratorError(
            "the program " +
            std::string(ended && WIFEXITED(status)
                            ? "ended with exit status " + std::to_string(WEXITSTATUS(status))
                        : ended ? "was stopped by a signal"
                                : "closed its channel"));
    }

  private:
    pid_t pid_ = -1;
    int channel_ = -1;
};

std::unique_ptr<PipedProgram> startPipedProgram(const std::vector<std::string>& command,
                                                const std::string& log) {
    return std::make_unique<PosixPipedProgram>(command, log);
}

ProgramEnd runProgram(const std::vector<std::string>& command, const std::string& log,
                      int timeLimitMs, const std::function<void()>& checkpoint) {
    const pid_t pid = start(command, log);
    const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    ProgramEnd end;
    const auto stop = [&] {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (handle >= 0) close(handle);
    };
    if (handle < 0) {  // a kernel without process handles: wait without a limit
        waitpid(pid, &status, 0);
        end.finished = true;
    } else {
        try {
            for (int waited = 0; !end.finished && waited < timeLimitMs; waited += kSliceMs) {
                pollfd process{handle, POLLIN, 0};
                end.finished = poll(&process, 1, kSliceMs) > 0;
                if (!end.finished && checkpoint) checkpoint();
            }
        } catch (...) {
            stop();
            throw;
        }
        stop();
    }
    end.exited = WIFEXITED(status);
    end.exitStatus = end.exited ? WEXITSTATUS(status) : 0;
    return end;
}

std::string findProgram(const std::vector<std::string>& names) {
    const std::string path = environment("PATH");
    std::istringstream folders(path.empty() ? "/usr/bin:/bin" : path);
    std::vector<std::string> list;
    for (std::string folder; std::getline(folders, folder, ':');)
        list.push_back(folder.empty() ? "." : folder);
    for (const std::string& name : names) {
        for (const std::string& folder : list) {
            const std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return "";
}

std::string portProblem(const std::string& path, bool tryOpening) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == EACCES) return "permission denied on the way to it";
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) {
            return "it is a link to a device that is gone; was the adapter unplugged?";
        }
        return "no such device; is the adapter plugged in? (kvtlnk ports lists the serial ports)";
    }
    if (S_ISDIR(st.st_mode)) return "is a directory, not a serial port";
    if (!S_ISCHR(st.st_mode)) return "is a file, not a serial port";
    const fs::path tty = fs::path("/sys/class/tty") / fs::path(path).filename();
    if (path.rfind("/dev/ttyS", 0) == 0 && sysValue(tty / "type") == "0") {
        return "no serial port is fitted there (kvtlnk ports lists the serial ports)";
    }
    if (!tryOpening) return ::access(path.c_str(), R_OK | W_OK) == 0 ? "" : openProblem(errno, st);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return openProblem(errno, st);
    std::string problem;
    termios settings{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = "busy: another program holds it; close that program and try again";
    } else if (::tcgetattr(fd, &settings) != 0) {
        problem = "is not a terminal, so not a serial port";
    }
    ::close(fd);
    return problem;
}

}  // namespace kvtapp::platform
