#pragma once

#include <chrono>
#include <cstdint>

namespace kvtlnk {

// The two routines a packet port talks through: a write of a run of bytes and a read of up to
// count bytes (the packet port always asks for one) that gives up after the line's read
// time-out. A read of 0 bytes purges the receive side.
class SerialLine {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~SerialLine() = default;
    virtual uint16_t write(const uint8_t* data, uint16_t count) = 0;
    virtual uint16_t read(uint8_t* data, uint16_t count) = 0;
    // Discards what waits in either direction; a line without an output queue has only its
    // receive side to purge.
    virtual void purgeAll() { read(nullptr, 0); }
    // Said before a read: at least this many bytes (the one asked for included) are bound to
    // follow, as a frame that has begun must go on to its end. A line that wakes once for every
    // byte may let them gather first, for no longer than they take at its rate.
    virtual void expect(uint16_t bytes) { (void)bytes; }

    // What one attempt of an exchange that moves `bytes` over the line (out and back) may
    // legitimately take: the bytes at the line's rate, and one read time-out for the other end
    // to answer. Zero where the line knows no time-out, and sets no bound.
    virtual Clock::duration attemptTime(uint32_t bytes) const {
        (void)bytes;
        return Clock::duration::zero();
    }
    // No read waits past this point: from then on a read brings nothing, at once, as on a silent
    // line. Clock::time_point::max() lifts the bound.
    void setDeadline(Clock::time_point t) { deadline_ = t; }
    // The device behind the port is gone (unplugged): the port reported a hang-up, or EIO or
    // ENXIO. Nothing will come or leave until the port is opened again.
    virtual bool gone() const { return false; }
    Clock::time_point deadline() const { return deadline_; }

  protected:
    Clock::time_point deadline_ = Clock::time_point::max();
};

// attemptTime() of a line that takes byteTimeUs for a byte and waits readTimeoutMs for one.
inline SerialLine::Clock::duration attemptTimeAt(uint32_t bytes, uint32_t byteTimeUs,
                                                 uint32_t readTimeoutMs) {
    if (readTimeoutMs == 0) return SerialLine::Clock::duration::zero();
    return std::chrono::microseconds(uint64_t{bytes} * byteTimeUs) +
           std::chrono::milliseconds(readTimeoutMs);
}

}  // namespace kvtlnk
