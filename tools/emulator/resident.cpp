#include "resident.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include "common/files.h"
#include "emu_clock.h"
#include "registry.h"

namespace k27emu {
namespace {

// How often the serving loop looks at the memories; and how long a download may stay
// unfinished with no change before what it left is saved.
constexpr std::chrono::milliseconds kTick{100};
constexpr std::chrono::seconds kQuietDownload{1};

std::string absolutePath(const std::string& path) {
    std::error_code e;
    const std::filesystem::path p = std::filesystem::absolute(path, e);
    return e ? path : p.lexically_normal().string();
}

// Closes every descriptor above standard error but keep: a detached process holds nothing of
// its parent's (a pipe its parent's caller reads to the end, say).
void closeInherited(int keep) {
    std::vector<int> open;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (fd > 2 && fd != keep && fd != ::dirfd(dir)) open.push_back(fd);
        }
        ::closedir(dir);
    }
    for (int fd : open)
        ::close(fd);
}

bool fileExists(const std::string& path) {
    std::error_code e;
    return std::filesystem::symlink_status(path, e).type() != std::filesystem::file_type::not_found;
}

}  // namespace

Resident::Resident(ResidentOptions options) : options_(std::move(options)) {
    if (!options_.statePath.empty()) options_.statePath = absolutePath(options_.statePath);
}

Resident::~Resident() {
    if (calibrator_) calibrator_->stop();
    if (registered_) unregisterEmulator(::getpid());
}

bool Resident::prepare(std::string* error, int* exitStatus) {
    *exitStatus = kExitUnusable;
    const int64_t host = hostSeconds();
    const bool known = !options_.statePath.empty() && fileExists(options_.statePath);
    if (known && !loadState(options_.statePath, &state_, error)) {
        *error +=
            " (the emulator's state is left as it is; give another --state file to start "
            "afresh)";
        return false;
    }
    if (options_.clock) {
        state_.clockOffsetSeconds = *options_.clock - host;
    } else {
        state_.clockOffsetSeconds += options_.clockOffset.value_or(0);
    }
    const DateStamp now = stampAt(host + state_.clockOffsetSeconds);
    if (now.fullYear() < kFirstYear || now.fullYear() > kLastYear ||
        secondsOf(now) != host + state_.clockOffsetSeconds) {
        *error = "the emulator's clock would stand outside " + std::to_string(kFirstYear) + " to " +
                 std::to_string(kLastYear) + ", the years the calibrator's stamps hold";
        return false;
    }
    if (!known) state_.inServiceSince = host + state_.clockOffsetSeconds;
    if (options_.seed) state_.seed = *options_.seed;

    CalibratorOptions c = options_.calibrator;
    c.seed = state_.seed;
    c.clockOffsetSeconds = state_.clockOffsetSeconds;
    if (!options_.statePath.empty()) c.inServiceSince = state_.inServiceSince;
    calibrator_ = std::make_unique<Calibrator>(c);
    if (!calibrator_->replaceMemory(Memory::Procedure, state_.memories.procedure) ||
        !calibrator_->replaceMemory(Memory::Results, state_.memories.results)) {
        *error = options_.statePath + ": the memories do not fit a K27 (1,048,576 bytes each)";
        return false;
    }
    *exitStatus = kExitServe;
    return options_.statePath.empty() || save(error);
}

bool Resident::start(std::string* error) {
    if (!calibrator_->start()) {
        *error = "cannot create a pseudo-terminal";
        return false;
    }
    if (!options_.registerPort) return true;
    RegisteredEmulator entry{calibrator_->portPath(), ::getpid(), processStartTime(::getpid()),
                             options_.statePath};
    registered_ = registerEmulator(entry, error);
    return registered_;
}

bool Resident::save(std::string* error) {
    state_.memories = {calibrator_->memory(Memory::Procedure),
                       calibrator_->memory(Memory::Results)};
    kvttools::AtomicFile file;
    if (!file.open(options_.statePath, error) ||
        !file.commit(formatState(state_, hostSeconds()), error)) {
        *error = "cannot write the emulator's state " + *error;
        return false;
    }
    return true;
}

bool Resident::serveUntilSignal(std::string* error) {
    sigset_t stop;
    sigemptyset(&stop);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stop, sig);
    const timespec tick{0, std::chrono::nanoseconds(kTick).count()};
    using Clock = std::chrono::steady_clock;
    uint64_t saved = calibrator_->revision(), seen = saved;
    Clock::time_point changed = Clock::now();
    bool failing = false;
    while (sigtimedwait(&stop, nullptr, &tick) < 0) {
        if (options_.statePath.empty()) continue;
        const uint64_t revision = calibrator_->revision();
        if (revision != seen) {
            seen = revision;
            changed = Clock::now();
        }
        if (revision == saved ||
            (calibrator_->downloading() && Clock::now() - changed < kQuietDownload)) {
            continue;
        }
        std::string why;
        if (save(&why)) {
            saved = revision;
            failing = false;
        } else if (!failing) {
            std::cerr << "kvtsim: " << why << "; trying again after each change\n";
            failing = true;
        }
    }
    calibrator_->stop();
    const bool ok = options_.statePath.empty() || save(error);
    if (registered_) unregisterEmulator(::getpid());
    registered_ = false;
    return ok;
}

int runDetached(
    const std::function<int(const std::function<void(const std::string&)>& ready)>& body,
    std::string* text) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return kExitServe;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return kExitServe;
    }
    if (child == 0) {
        closeInherited(fds[1]);
        ::setsid();
        int pipe = fds[1];
        const int status = body([&pipe](const std::string& said) {
            const std::string line = said + "\n";
            (void)!::write(pipe, line.data(), line.size());
            ::close(pipe);
            pipe = -1;
            std::fflush(nullptr);
            const int null = ::open("/dev/null", O_RDWR);
            for (int fd : {0, 1, 2})
                ::dup2(null, fd);
            if (null > 2) ::close(null);
        });
        std::fflush(nullptr);
        ::_exit(status);
    }
    ::close(fds[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        said.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (!said.empty() && said.back() == '\n') {
        said.pop_back();
        *text = said;
        return 0;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) != 0 ? WEXITSTATUS(status) : kExitServe;
}

}  // namespace k27emu
