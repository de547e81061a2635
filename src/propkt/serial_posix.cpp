#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

#include "propkt/debug_trace.h"
#include "propkt/fd_line.h"
#include "propkt/posix_calls.h"
#include "propkt/serial_port.h"

namespace kvtlnk {

namespace {

// Time allowed at close for written bytes to leave, beyond what they need at the baud rate.
constexpr int kDrainMarginMs = 500;
constexpr int kDrainPollMs = 10;

speed_t speedFor(uint32_t baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B9600;
    }
}

// Raw 8N1: no parity, no flow control of any kind, no translation of any byte, no signals,
// receiver on, modem-control lines ignored and not dropped at close.
termios rawSettings(termios t, uint32_t baud) {
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speedFor(baud));
    cfsetospeed(&t, speedFor(baud));
    return t;
}

// A refused open: the Windows driver's text, which readers of the trace know, then the call.
bool openFailed(const Trace& trace, const char* call, int err) {
    trace.text("OpenComm failed\n");
    trace.callFailure(call, err);
    return false;
}

// The latency timer of the USB adapter behind the open port, in milliseconds, as its driver shows
// it under /sys; -1 when the port has none (a pty, a UART, an adapter without one).
int latencyTimerMs(const PosixCalls& sys, int fd) {
    struct stat st {};
    if (sys.fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return -1;
    char path[64];
    std::snprintf(path, sizeof path, "/sys/dev/char/%u:%u/device/latency_timer", major(st.st_rdev),
                  minor(st.st_rdev));
    const int file = sys.open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) return -1;
    char text[16] = {};
    const ssize_t n = sys.read(file, text, sizeof text - 1);
    sys.close(file);
    if (n <= 0 || text[0] < '0' || text[0] > '9') return -1;
    return std::atoi(text);
}

}  // namespace

std::string devicePathFor(const std::string& portName) {
    const unsigned n = comPortNumber(portName);
    return n == 0 ? portName : "/dev/ttyS" + std::to_string(n - 1);
}

const SystemCalls& systemCalls() {
    return systemPosixCalls();
}

struct SerialPort::Impl {
    Impl(const PosixCalls& c, const Trace& t) : calls(c), trace(t) {}

    PosixCalls calls;
    Trace trace;
    int fd = -1;
    termios saved{};
    bool lowLatencySet = false;  // the driver took the low-latency flag from this open
    std::optional<FdLine> line;

    // Asks the driver to hand received bytes on at once rather than hold them for its timer (an
    // FTDI adapter then runs its latency timer at 1 ms). Returns the call the driver refused, errno
    // telling why, or nullptr; a port without the setting (a pty, a UART driver) is used as it is.
    const char* requestLowLatency() {
#if defined(__linux__)
        serial_struct s{};
        if (calls.ioctl(fd, TIOCGSERIAL, &s) != 0) return "TIOCGSERIAL";
        if (s.flags & ASYNC_LOW_LATENCY) return nullptr;
        s.flags |= ASYNC_LOW_LATENCY;
        if (calls.ioctl(fd, TIOCSSERIAL, &s) != 0) return "TIOCSSERIAL";
        lowLatencySet = true;
        return nullptr;
#else
        errno = ENOTSUP;
        return "TIOCSSERIAL";
#endif
    }

    // From trace level 2: whether the driver took the request for low latency, and the USB
    // adapter's latency timer as the session runs with it.
    void traceLatency(const std::string& path, const char* refused, int err) const {
        if (!trace.shows(2)) return;
        std::string event = "port " + path;
        event += refused == nullptr ? ": low latency"
                                    : std::string(": no low latency (") + refused + ": " +
                                          std::strerror(err) + ")";
        const int timer = latencyTimerMs(calls, fd);
        if (timer >= 0) event += ", adapter latency timer " + std::to_string(timer) + " ms";
        trace.exchange(event.c_str());
    }

    // Puts back the low-latency flag as open found it.
    void restoreLowLatency() {
#if defined(__linux__)
        serial_struct s{};
        if (lowLatencySet && calls.ioctl(fd, TIOCGSERIAL, &s) == 0) {
            s.flags &= ~ASYNC_LOW_LATENCY;
            calls.ioctl(fd, TIOCSSERIAL, &s);
        }
#endif
        lowLatencySet = false;
    }

    // Waits, bounded, until the driver's output queue is empty; false if it did not empty.
    bool drainOutput(uint32_t baud) {
        int queued = 0;
        if (calls.ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(kDrainMarginMs + queued * 10000LL / baud);
        while (queued > 0) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            calls.poll(nullptr, 0, kDrainPollMs);
            if (calls.ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
        }
        return true;
    }
};

SerialPort::SerialPort(const SystemCalls& calls, const Trace& trace)
    : impl_(std::make_unique<Impl>(calls, trace)) {}

SerialPort::~SerialPort() {
    close();
}

const Trace& SerialPort::trace() const {
    return impl_->trace;
}

bool SerialPort::isOpen() const {
    return impl_->fd >= 0;
}

bool SerialPort::open(const char* portName) {
    close();
    const PosixCalls& sys = impl_->calls;
    const Trace& trace = impl_->trace;
    std::string path = devicePathFor(portName != nullptr ? portName : "");
    int fd = sys.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return openFailed(trace, "open", errno);
    // The advisory lock keeps out other processes even where TIOCEXCL does not (root).
    if (sys.flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        sys.close(fd);
        return openFailed(trace, "flock", err);
    }
    sys.ioctl(fd, TIOCEXCL, nullptr);

    termios saved{};
    termios raw{};
    const char* failed = nullptr;
    if (sys.tcgetattr(fd, &saved) != 0) {
        failed = "tcgetattr";
    } else if (raw = rawSettings(saved, baud_), sys.tcsetattr(fd, TCSANOW, &raw) != 0) {
        failed = "tcsetattr";
    }
    if (failed != nullptr) {
        const int err = errno;
        trace.text("SetCommState failed\n");  // the Windows driver's text, as above
        trace.callFailure(failed, err);
        sys.ioctl(fd, TIOCNXCL, nullptr);
        sys.close(fd);
        return false;
    }
    // DTR and RTS stay low; a pty has no modem lines and refuses, which is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    sys.ioctl(fd, TIOCMBIC, &lines);
    sys.tcflush(fd, TCIOFLUSH);

    impl_->fd = fd;
    impl_->saved = saved;
    const char* refused = impl_->requestLowLatency();
    impl_->traceLatency(path, refused, errno);
    impl_->line.emplace(fd, readTimeoutMs_, sys, trace);
    impl_->line->setByteTime(10000000 / baud_);  // 10 bit times
    return true;
}

uint16_t SerialPort::read(uint8_t* data, uint16_t count) {
    if (!impl_->line) return 0;
    impl_->line->setReadTimeout(readTimeoutMs_);
    return impl_->line->read(data, count);
}

void SerialPort::expect(uint16_t bytes) {
    if (impl_->line) impl_->line->expect(bytes);
}

uint16_t SerialPort::write(const uint8_t* data, uint16_t count) {
    if (!impl_->line) {
        impl_->trace.text("WriteComm failed after %d bytes\n", 0);
        return 0;
    }
    return impl_->line->write(data, count);
}

bool SerialPort::gone() const {
    return impl_->line && impl_->line->gone();
}

void SerialPort::purgeAll() {
    if (impl_->line) impl_->line->purgeAll();
}

bool SerialPort::close() {
    Impl& p = *impl_;
    if (p.fd < 0) return true;
    const PosixCalls& sys = p.calls;
    // Bytes still queued after the bound (a vanished adapter) are dropped, so that the kernel's
    // own wait at close cannot hold the caller.
    if (p.drainOutput(baud_)) {
        sys.tcdrain(p.fd);
    } else {
        sys.tcflush(p.fd, TCOFLUSH);
    }
    p.restoreLowLatency();
    sys.tcsetattr(p.fd, TCSANOW, &p.saved);
    sys.ioctl(p.fd, TIOCNXCL, nullptr);
    bool closed = sys.close(p.fd) == 0;
    p.fd = -1;
    p.line.reset();
    return closed;
}

}  // namespace kvtlnk
