#pragma once

#include <cstdint>

namespace kvtlnk {

// The two routines a packet port talks through: a write of a run of bytes and a read of up to
// count bytes (the packet port always asks for one) that gives up after the line's read
// time-out. A read of 0 bytes purges the receive side.
class SerialLine {
  public:
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

    // The device behind the port is gone (unplugged): the port reported a hang-up, or EIO or
    // ENXIO. Nothing will come or leave until the port is opened again.
    virtual bool gone() const { return false; }
};

}  // namespace kvtlnk
