#include "interrupt.h"

#include <dirent.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "common/files.h"
#include "failure.h"

namespace kvtcli {
namespace {

constexpr auto kGrace = std::chrono::seconds(1);
const char* const kUntouched = "nothing was changed on the calibrator";

std::mutex mutex;
std::condition_variable noticedChanged;
int caught = 0;        // the signal, 0 before one came
bool noticed = false;  // the work saw it and is unwinding
std::string stopState = kUntouched;
std::string portInUse;
std::function<void()> stopWork;

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// The library holds the port with the terminal's exclusive-use flag set, which would keep
// every other user out after this process ends; clear it on each descriptor of this process
// open on that device.
void releasePort(const std::string& path) {
    struct stat device {};
    if (path.empty() || ::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return;
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) return;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        struct stat st {};
        if (fd > 2 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == device.st_rdev) {
            ::ioctl(fd, TIOCNXCL);
        }
    }
    ::closedir(fds);
}

std::string message(int signal) {
    return "interrupted: " + stopState + (signal == SIGTERM ? " (SIGTERM)" : "");
}

// Called with the mutex held; does not return.
[[noreturn]] void giveUp(int signal) {
    releasePort(portInUse);
    kvttools::AtomicFile::removePending();
    const std::string text = (::isatty(STDERR_FILENO) ? "\r\x1b[K" : "") + std::string("kvtlnk: ") +
                             message(signal) + "\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
    ::_exit(kExitSignal + signal);
}

void takeSignals() {
    const sigset_t set = stopSignals();
    int signal = 0;
    sigwait(&set, &signal);
    std::unique_lock<std::mutex> lock(mutex);
    caught = signal;
    if (stopWork) {
        noticed = true;
        lock.unlock();
        stopWork();
        lock.lock();
    }
    if (noticedChanged.wait_for(lock, kGrace, [] { return noticed; })) {
        // The work unwinds and closes the session; a second signal does not wait for it.
        lock.unlock();
        sigwait(&set, &signal);
        lock.lock();
    }
    giveUp(signal);
}

}  // namespace

void watchInterrupts() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(takeSignals).detach();
}

void onInterrupt(std::function<void()> stop) {
    std::lock_guard<std::mutex> lock(mutex);
    stopWork = std::move(stop);
}

void setStopState(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    stopState = text.empty() ? kUntouched : text;
}

void setPortInUse(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    portInUse = path;
}

void checkInterrupt() {
    std::lock_guard<std::mutex> lock(mutex);
    if (caught == 0) return;
    noticed = true;
    noticedChanged.notify_all();
    throw CliError(kExitSignal + caught, message(caught));
}

kvtapp::SessionWatch& interruptWatch() {
    struct Watch : kvtapp::SessionWatch {
        void holding(const std::string& device) override { setPortInUse(device); }
        void stopWouldLeave(const std::string& state) override { setStopState(state); }
        void checkpoint() override { checkInterrupt(); }
    };
    static Watch watch;
    return watch;
}

}  // namespace kvtcli
