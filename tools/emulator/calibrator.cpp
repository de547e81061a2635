#include "calibrator.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "emu_clock.h"
#include "protocol/slave_port.h"
#include "pty_line.h"
#include "wire_line.h"

namespace k27emu {
namespace {

// How often the idle serving loop looks for a stop request besides the wake-up.
constexpr std::chrono::milliseconds kIdlePoll{100};

void closeFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

void drain(int fd) {
    uint8_t sink[64];
    while (::read(fd, sink, sizeof sink) > 0) {
    }
}

}  // namespace

Calibrator::Calibrator(CalibratorOptions options)
    : options_(std::move(options)), instrument_(options_.identity) {
    instrument_.setClock([this] { return now(); });
}

Calibrator::~Calibrator() {
    stop();
    closeFd(&slaveFd_);
    closeFd(&masterFd_);
    closeFd(&wakeFds_[0]);
    closeFd(&wakeFds_[1]);
}

DateStamp Calibrator::now() const {
    return options_.clock ? *options_.clock : stampAt(clockSeconds());
}

int64_t Calibrator::clockSeconds() const {
    return options_.clock ? secondsOf(*options_.clock)
                          : hostSeconds() + options_.clockOffsetSeconds;
}

bool Calibrator::start() {
    if (running()) return true;
    if (masterFd_ < 0) {
        masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        char name[128];
        if (masterFd_ < 0 || ::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0 ||
            ::ptsname_r(masterFd_, name, sizeof name) != 0 ||
            ::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            closeFd(&masterFd_);
            return false;
        }
        ::fcntl(masterFd_, F_SETFD, FD_CLOEXEC);
        ::fcntl(masterFd_, F_SETFL, ::fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
        // Holding the slave side open keeps the terminal alive between the program's opens;
        // raw mode keeps the line discipline from echoing or translating the frames.
        slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (slaveFd_ >= 0 && ::tcgetattr(slaveFd_, &t) == 0) {
            ::cfmakeraw(&t);
            ::cfsetspeed(&t, B9600);
            ::tcsetattr(slaveFd_, TCSANOW, &t);
        }
        portPath_ = name;
    }
    drain(wakeFds_[0]);
    thread_ = std::thread(&Calibrator::serve, this);
    return true;
}

void Calibrator::stop() {
    if (!running()) return;
    const uint8_t wake = 1;
    (void)!::write(wakeFds_[1], &wake, 1);
    thread_.join();
    drain(wakeFds_[0]);
}

void Calibrator::serve() {
    PtyLine pty(masterFd_, wakeFds_[0], options_.readTimeoutMs);
    WireLine wire(pty, faults_, options_.pacingBaud, options_.paceBurstMs);
    kvttools::SlavePort port(wire, options_.attempts);
    std::vector<uint8_t> command;
    while (!pty.stopping()) {
        // Only a frame that has begun to arrive starts an exchange, so an idle line does not
        // wear out the port's attempts and take the link down.
        if (!wire.waitReadable(kIdlePoll)) continue;
        if (faults_.silent()) {
            // Switched off: whatever arrives is lost.
            wire.purge();
            continue;
        }
        if (!port.receive(&command)) continue;
        // An empty packet: the link was taken down.
        if (command.empty() || faults_.silent()) continue;
        const Reply reply = answer(command.data(), command.size());
        for (const Packet& p : reply.packets) {
            if (pty.stopping() || !port.send(p)) break;
        }
    }
}

Reply Calibrator::answer(const uint8_t* bytes, size_t n) {
    const std::string text = describeCommand(bytes, n);
    Reply reply;
    LoggedCommand logged;
    std::function<void(const LoggedCommand&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string status;
        if (faults_.refusal(text, &status)) {
            reply = instrument_.refuse(bytes, n, status);
        } else {
            reply = instrument_.answer(bytes, n);
            const bool changes =
                text.rfind("mc ", 0) == 0 || text.rfind("ma ", 0) == 0 || text.rfind("mbp", 0) == 0;
            if (reply.accepted && changes) ++revision_;
            if (reply.endsDownload && options_.runAfterDownload) run();
        }
        logged = instrument_.commandLog().back();
        observer = observer_;
    }
    faults_.shapeReply(text, &reply);
    if (observer) observer(logged);
    return reply;
}

std::vector<MemoryRecord> Calibrator::memory(Memory m) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return instrument_.memory(m).records();
}

bool Calibrator::replaceMemory(Memory m, std::vector<MemoryRecord> records) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++revision_;
    return instrument_.memory(m).replace(std::move(records));
}

std::vector<LoggedCommand> Calibrator::commandLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return instrument_.commandLog();
}

std::vector<std::string> Calibrator::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const LoggedCommand& c : instrument_.commandLog())
        texts.push_back(c.text);
    return texts;
}

std::vector<std::string> Calibrator::statusTexts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return instrument_.statusTexts();
}

void Calibrator::clearLogs() {
    std::lock_guard<std::mutex> lock(mutex_);
    instrument_.clearLogs();
}

void Calibrator::setCommandObserver(std::function<void(const LoggedCommand&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

RunSummary Calibrator::runProcedures() {
    std::lock_guard<std::mutex> lock(mutex_);
    return run();
}

RunSummary Calibrator::run() {
    ++revision_;
    const double days = options_.inServiceSince
                            ? static_cast<double>(clockSeconds() - *options_.inServiceSince) / 86400
                            : 0.0;
    return k27emu::runProcedures(instrument_.memory(Memory::Procedure),
                                 instrument_.memory(Memory::Results), options_.seed, now(),
                                 std::max(days, 0.0));
}

uint64_t Calibrator::revision() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return revision_;
}

bool Calibrator::downloading() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return instrument_.downloading();
}

}  // namespace k27emu
