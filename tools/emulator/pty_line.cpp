#include "pty_line.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace k27emu {

PtyLine::Wait PtyLine::wait(short events, Clock::time_point deadline) const {
    for (;;) {
        const auto left = deadline - Clock::now();
        const int64_t ns = left.count() > 0 ? std::chrono::nanoseconds(left).count() : 0;
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fds[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
        const int n = ppoll(fds, 2, &ts, nullptr);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Wait::Woken;
        if (fds[1].revents != 0) return Wait::Woken;
        if (fds[0].revents & events) return Wait::Ready;
        if (fds[0].revents != 0) {
            // A hang-up without a reader: wait out the time rather than spin.
            pollfd wake{wakeFd_, POLLIN, 0};
            ppoll(&wake, 1, &ts, nullptr);
            return wake.revents != 0 ? Wait::Woken : Wait::TimedOut;
        }
        if (n == 0) return Wait::TimedOut;
    }
}

bool PtyLine::readByte(uint8_t* byte) {
    for (;;) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
        if (wait(POLLIN, deadline) != Wait::Ready) return false;
        const ssize_t n = ::read(fd_, byte, 1);
        if (n == 1) return true;
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    }
}

void PtyLine::discard() {
    uint8_t sink[256];
    while (::read(fd_, sink, sizeof sink) > 0) {
    }
}

uint16_t PtyLine::write(const uint8_t* data, uint16_t count) {
    // Being switched off, the calibrator sends nothing more: no frame of an exchange that the
    // stop cut short is repeated onto the line.
    if (stopping()) return 0;
    uint16_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done = static_cast<uint16_t>(done + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) break;
        const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
        if (wait(POLLOUT, deadline) != Wait::Ready) break;
    }
    return done;
}

uint16_t PtyLine::readWaiting(uint8_t* data, uint16_t count) {
    const ssize_t n = ::read(fd_, data, count);
    return n > 0 ? static_cast<uint16_t>(n) : 0;
}

bool PtyLine::waitReadable(std::chrono::milliseconds timeout) {
    return wait(POLLIN, Clock::now() + timeout) == Wait::Ready;
}

bool PtyLine::sleepUntil(Clock::time_point when) {
    pollfd wake{wakeFd_, POLLIN, 0};
    for (;;) {
        const auto left = when - Clock::now();
        if (left.count() <= 0) return true;
        const int64_t ns = std::chrono::nanoseconds(left).count();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const int n = ppoll(&wake, 1, &ts, nullptr);
        if (n > 0) return false;
    }
}

bool PtyLine::stopping() const {
    pollfd wake{wakeFd_, POLLIN, 0};
    return ::poll(&wake, 1, 0) > 0;
}

}  // namespace k27emu
