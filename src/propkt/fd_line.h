#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>

#include "propkt/debug_trace.h"
#include "propkt/posix_calls.h"
#include "propkt/serial_line.h"

namespace kvtlnk {

// A serial line over a file descriptor that is already open: a configured serial device, or
// either side of a pty. Reads take whatever has arrived, up to kReadAhead bytes, in one read()
// and hand it out from there, so bytes that come in a burst cost one wake-up rather than one
// each. Only when nothing read ahead is left does a read wait in poll(), at most the read
// time-out for every byte (0 waits for ever). Where the bytes trickle in one wake-up each (a
// UART without a FIFO) and the caller has said that more are bound to come, the line first
// sleeps while they arrive at its byte time (never longer than the read time-out), then takes
// them in one read. A read of 0 bytes purges the receive side, what was read ahead included.
// When the other end is gone (hang-up, EIO, ENXIO, end of file) a read first hands out what was
// read ahead, then sleeps for the time-out and returns what it had, so a dead line costs no
// CPU; the loss is traced once, until bytes flow again. A hang-up, EIO or ENXIO (in either
// direction) says the device is gone (gone()). Writes are retried on EINTR and wait for room
// when the descriptor is non-blocking. The descriptor is not owned. The line calls the system
// through the calls it is given and traces its failures to the trace it is given.
class FdLine : public SerialLine {
  public:
    static constexpr uint16_t kReadAhead = 1024;
    // A dead line with no read time-out (0) pauses this long per read instead of for ever.
    static constexpr uint32_t kDeadLinePauseMs = 1000;
    // A write that makes no progress for this long is given up.
    static constexpr int kWriteStallMs = 5000;

    FdLine(int fd, uint32_t readTimeoutMs, const PosixCalls& calls = systemPosixCalls(),
           const Trace& trace = Trace{});

    void setReadTimeout(uint32_t ms) { readTimeoutMs_ = ms; }
    // The time a byte takes at the line's rate; 0 (the default) never sleeps for bytes to come.
    void setByteTime(uint32_t us) { byteTimeUs_ = us; }

    uint16_t write(const uint8_t* data, uint16_t count) override;
    uint16_t read(uint8_t* data, uint16_t count) override;
    void expect(uint16_t bytes) override { expected_ = bytes; }
    bool gone() const override { return gone_; }
    // Discards what has arrived and not been handed out.
    void purgeInput() { purge(TCIFLUSH); }
    // Discards that, and what was written and has not left yet.
    void purgeAll() override { purge(TCIOFLUSH); }

  private:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Ready, TimedOut, Lost };
    // Waits for bytes and reads ahead what has arrived; false when none came within the
    // time-out or the line was lost (got: the bytes this read has handed out, for the trace).
    bool readAhead(uint16_t got, uint16_t expected);
    // Sleeps while the expected bytes arrive at the byte time, at most for the time left, then
    // reads ahead what came; false when nothing did.
    bool gather(uint16_t expected, Clock::duration left);
    void purge(int queues);
    Wait waitReadable(Clock::time_point deadline, int* err);
    bool waitWritable();
    void lineLost(uint16_t got, const char* call, int err);
    // Sleeps in the kernel for the time, EINTR or not.
    void pause(Clock::duration time);

    PosixCalls calls_;
    Trace trace_;
    int fd_;
    uint32_t readTimeoutMs_;
    bool lost_ = false;
    bool gone_ = false;  // the loss was a hang-up, EIO or ENXIO: the device is gone
    uint32_t byteTimeUs_ = 0;
    uint16_t expected_ = 1;  // bytes promised to the next read
    // The last wait for bytes woke to a single one, or a gather found all it expected: the bytes
    // come at the byte time, the last a moment ago.
    bool trickles_ = false;
    uint8_t ahead_[kReadAhead];
    uint16_t next_ = 0;  // the next byte to hand out
    uint16_t end_ = 0;   // one past the last byte read ahead
};

}  // namespace kvtlnk
