#include "propkt/fd_line.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>

namespace kvtlnk {

namespace {

using Clock = std::chrono::steady_clock;

// A failure that says the device behind the descriptor is gone: a hang-up or an end of file
// (no error number), or the errors of a vanished device.
bool deviceGone(int err) {
    return err == 0 || err == EIO || err == ENXIO || err == ENODEV;
}

int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

}  // namespace

FdLine::FdLine(int fd, uint32_t readTimeoutMs, const PosixCalls& calls, const Trace& trace)
    : calls_(calls), trace_(trace), fd_(fd), readTimeoutMs_(readTimeoutMs) {}

void FdLine::pause(Clock::duration time) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time).count();
    if (ns <= 0) return;
    timespec left{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    // A signal cuts the sleep short; the kernel says how much of it is left.
    while (calls_.nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

uint16_t FdLine::read(uint8_t* data, uint16_t count) {
    if (count == 0) {
        purgeInput();
        return 0;
    }
    const uint16_t expected = std::exchange(expected_, 1);
    uint16_t got = 0;
    while (got < count) {
        if (next_ == end_ && !readAhead(got, expected)) break;
        const uint16_t n = std::min<uint16_t>(count - got, end_ - next_);
        std::memcpy(data + got, ahead_ + next_, n);
        next_ = static_cast<uint16_t>(next_ + n);
        got = static_cast<uint16_t>(got + n);
    }
    return got;
}

bool FdLine::readAhead(uint16_t got, uint16_t expected) {
    next_ = end_ = 0;
    const Clock::time_point now = Clock::now();
    const Clock::time_point deadline = readTimeoutMs_ != 0
                                           ? now + std::chrono::milliseconds(readTimeoutMs_)
                                           : Clock::time_point::max();
    if (trickles_ && expected > 1 && byteTimeUs_ != 0 && gather(expected, deadline - now)) {
        return true;
    }
    for (;;) {
        int err = 0;
        Wait wait = waitReadable(deadline, &err);
        if (wait == Wait::TimedOut) return false;
        const char* call = "poll";
        if (wait == Wait::Ready) {
            ssize_t n = calls_.read(fd_, ahead_, sizeof ahead_);
            if (n > 0) {
                end_ = static_cast<uint16_t>(n);
                trickles_ = n == 1;
                lost_ = gone_ = false;
                return true;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            call = "read";
            err = n < 0 ? errno : 0;  // 0: end of file, the other side closed
        }
        lineLost(got, call, err);
        return false;
    }
}

bool FdLine::gather(uint16_t expected, Clock::duration left) {
    // The last byte came a moment ago and the promised ones follow it at the byte time, so all of
    // them are there after this long, and the frame cannot have ended before.
    const Clock::duration wait = std::chrono::microseconds(uint64_t{expected} * byteTimeUs_);
    pause(std::min(wait, left));
    const ssize_t n = calls_.read(fd_, ahead_, sizeof ahead_);
    // Fewer than promised: the other end is behind the byte time, and the last byte may have
    // come long before now; the next wait is for bytes to arrive, lest it oversleep the frame's
    // end.
    trickles_ = n >= expected;
    if (n <= 0) return false;
    end_ = static_cast<uint16_t>(n);
    lost_ = gone_ = false;
    return true;
}

FdLine::Wait FdLine::waitReadable(Clock::time_point deadline, int* err) {
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        int timeout = deadline == Clock::time_point::max() ? -1 : msUntil(deadline);
        int r = calls_.poll(&p, 1, timeout);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            *err = errno;
            return Wait::Lost;
        }
        if (r == 0) return Wait::TimedOut;
        if (p.revents & POLLIN) return Wait::Ready;
        return Wait::Lost;  // POLLHUP, POLLERR or POLLNVAL without data
    }
}

void FdLine::lineLost(uint16_t got, const char* call, int err) {
    gone_ = gone_ || deviceGone(err);
    if (!lost_) {
        lost_ = true;
        trace_.text("ReadComm failed, read %d bytes\n", got);  // the Windows driver's text
        trace_.callFailure(call, err, "line hung up");
    }
    pause(std::chrono::milliseconds(readTimeoutMs_ != 0 ? readTimeoutMs_ : kDeadLinePauseMs));
}

uint16_t FdLine::write(const uint8_t* data, uint16_t count) {
    uint16_t done = 0;
    while (done < count) {
        ssize_t n = calls_.write(fd_, data + done, count - done);
        if (n > 0) {
            done = static_cast<uint16_t>(done + n);
            continue;
        }
        const int err = n < 0 ? errno : 0;
        if (err == EINTR) continue;
        const bool full = err == EAGAIN || err == EWOULDBLOCK;
        if (full && waitWritable()) continue;
        if (!full && err != 0 && deviceGone(err)) gone_ = true;
        trace_.text("WriteComm failed after %d bytes\n", done);  // the Windows driver's text
        trace_.callFailure(full ? "poll" : "write", full ? 0 : err, "no room to write");
        break;
    }
    return done;
}

bool FdLine::waitWritable() {
    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteStallMs);
    for (;;) {
        pollfd p{fd_, POLLOUT, 0};
        int r = calls_.poll(&p, 1, msUntil(deadline));
        if (r < 0 && errno == EINTR) continue;
        return r > 0 && (p.revents & POLLOUT);
    }
}

void FdLine::purge(int queues) {
    next_ = end_ = 0;
    if (calls_.tcflush(fd_, queues) == 0) return;
    // Not a terminal (a pipe or socket in tests): read away what is waiting.
    uint8_t scratch[256];
    for (int i = 0; i < 256; ++i) {
        pollfd p{fd_, POLLIN, 0};
        if (calls_.poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) break;
        if (calls_.read(fd_, scratch, sizeof scratch) <= 0) break;
    }
}

}  // namespace kvtlnk
