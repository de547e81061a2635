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
};

}  // namespace kvtlnk
