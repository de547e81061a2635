#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "faults.h"
#include "protocol/slave_port.h"
#include "pty_line.h"

namespace k27emu {

// What the emulator's packet port writes to and reads from: the pty line, with the fault
// script applied to each outgoing frame and, when a baud rate is given, each byte in either
// direction held to 10 bit times at that rate, as on the real wire: a byte is there once its
// stop bit is through. With a burst period as well, the bytes sent reach the other end the way
// a USB-serial adapter hands them to its host: at the wire rate, but gathered and delivered
// together at every tick of that period.
class WireLine : public kvttools::Line {
  public:
    WireLine(PtyLine& pty, FaultScript& faults, uint32_t pacingBaud, uint32_t burstMs = 0);

    bool readByte(uint8_t* byte) override;
    void purge() override;
    // True when a byte is waiting, taken from the pty already or not, within the time.
    bool waitReadable(std::chrono::milliseconds timeout);
    // Sends the frame as the faults shape it.
    void writeFrame(const std::vector<uint8_t>& frame) override;

  private:
    void emit(const std::vector<uint8_t>& bytes);
    // The first delivery tick at or after the time.
    PtyLine::Clock::time_point deliveryAt(PtyLine::Clock::time_point done) const;

    // A byte received, and when it was taken from the pty.
    struct Arrival {
        uint8_t byte;
        PtyLine::Clock::time_point at;
    };

    PtyLine& pty_;
    FaultScript& faults_;
    std::deque<Arrival> received_;  // taken from the pty, not yet through the wire
    PtyLine::Clock::duration byteTime_{0};
    PtyLine::Clock::time_point nextRx_{};
    PtyLine::Clock::time_point nextTx_{};  // when the last byte sent is through the wire
    PtyLine::Clock::duration burst_{0};
    PtyLine::Clock::time_point ticks_;  // the phase of the delivery ticks
    // Nothing was read since the last frame went out: the next one follows it on the wire at
    // once, however long its delivery took.
    bool followsOn_ = false;
    PtyLine::Clock::time_point emitted_{};  // when the last frame had been delivered
};

// The frame with the next sequence number in its type byte and its check value made again.
void bumpSequence(std::vector<uint8_t>* frame);

}  // namespace k27emu
