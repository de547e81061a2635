#pragma once

#include <chrono>
#include <cstdint>

namespace k27emu {

// The emulator's end of the line: the master side of a pseudo-terminal, read with a per-byte
// time-out. Every wait also watches a wake-up descriptor, so that stopping the emulator ends
// any wait at once (reads then come back without a byte).
class PtyLine {
  public:
    using Clock = std::chrono::steady_clock;

    PtyLine(int masterFd, int wakeFd, uint32_t readTimeoutMs)
        : fd_(masterFd), wakeFd_(wakeFd), readTimeoutMs_(readTimeoutMs) {}

    // One byte within the read time-out; false when none came.
    bool readByte(uint8_t* byte);
    // Discards what is waiting.
    void discard();
    // Every byte, unless the other side stops taking them for the read time-out; none once
    // the emulator is stopping.
    uint16_t write(const uint8_t* data, uint16_t count);

    // What is waiting, up to count bytes, without waiting for more.
    uint16_t readWaiting(uint8_t* data, uint16_t count);
    // True when a byte is waiting within the time.
    bool waitReadable(std::chrono::milliseconds timeout);
    // False when woken to stop before the time.
    bool sleepUntil(Clock::time_point when);
    bool stopping() const;

  private:
    enum class Wait { Ready, TimedOut, Woken };
    Wait wait(short events, Clock::time_point deadline) const;

    int fd_;
    int wakeFd_;
    uint32_t readTimeoutMs_;
};

}  // namespace k27emu
