#pragma once

#include <cstdint>

#include "propkt/serial_line.h"

namespace kvtlnk {

// A serial line over a file descriptor that is already open: a configured serial device, or
// either side of a pty. A read waits in poll() at most the read time-out for every byte (0 waits
// for ever) and a read of 0 bytes purges the receive side. When the other end is gone (hang-up,
// EIO, ENXIO, end of file) a read sleeps for the time-out and returns what it had, so a dead
// line costs no CPU; the loss is traced once, until bytes flow again. Writes are retried on
// EINTR and wait for room when the descriptor is non-blocking. The descriptor is not owned.
class FdLine : public SerialLine {
  public:
    // A dead line with no read time-out (0) pauses this long per read instead of for ever.
    static constexpr uint32_t kDeadLinePauseMs = 1000;
    // A write that makes no progress for this long is given up.
    static constexpr int kWriteStallMs = 5000;

    FdLine(int fd, uint32_t readTimeoutMs);

    void setReadTimeout(uint32_t ms) { readTimeoutMs_ = ms; }

    uint16_t write(const uint8_t* data, uint16_t count) override;
    uint16_t read(uint8_t* data, uint16_t count) override;
    // Discards what has arrived and not been read.
    void purgeInput();

  private:
    enum class Wait { Ready, TimedOut, Lost };
    Wait waitReadable(int* err);
    bool waitWritable();
    void lineLost(uint16_t got, const char* call, int err);

    int fd_;
    uint32_t readTimeoutMs_;
    bool lost_ = false;
};

}  // namespace kvtlnk
