#pragma once

#include <cstdint>

#include "propkt/debug_trace.h"
#include "propkt/packet_buffer.h"
#include "propkt/serial_line.h"

namespace kvtlnk {

// CRC-16/X-25 over the bytes, continuing from the register value reg (start with 0xFFFF; the
// check value sent is the complement of the final register, low byte first).
uint16_t crc16Update(uint16_t reg, const uint8_t* bytes, uint32_t n);

// The most bytes a frame of a packet of up to capacity bytes takes on the wire: every data byte
// doubled, the framing and the check value.
constexpr uint32_t frameBudget(uint16_t capacity) {
    return 2u * capacity + 8u;
}

// The most bytes one receive call reads for a packet of up to capacity bytes: a frame budget up
// to the start of its first frame, and room for a frame cut short and a whole one after it.
constexpr uint32_t receiveBudget(uint16_t capacity) {
    return 3u * frameBudget(capacity);
}

// Where one end of the link stands.
enum class LinkState : int32_t {
    LINK_DOWN,
    LINK_CONNECTING,
    LINK_DISCONNECTING,
    LINK_UP,
    LINK_DATA_PENDING,
};

// The kinds of frame, in decoding order: type codes 0x00, 0x01, 0x03, 0x07 and 0x0B.
enum class FrameKind : uint8_t {
    FRAME_DATA,
    FRAME_ACK,
    FRAME_CONNECT,
    FRAME_LINK_ACK,
    FRAME_DISCONNECT,
};

// What one receive call made of the bytes: a frame of one of the kinds (with the kind's value),
// or why the frame was not taken.
enum class RxOutcome : uint8_t {
    FRAME_DATA,
    FRAME_ACK,
    FRAME_CONNECT,
    FRAME_LINK_ACK,
    FRAME_DISCONNECT,
    RX_OVERFLOW,      // the packet was longer than its buffer
    RX_BAD_CRC,       // the check value did not match
    RX_BAD_SEQUENCE,  // a data frame or acknowledgement with a number other than the expected one
    RX_UNKNOWN_TYPE,  // a type code of no kind
};

constexpr RxOutcome outcomeOf(FrameKind kind) {
    return static_cast<RxOutcome>(kind);
}

enum class PortRole { Master, Slave };

// One end of the packet link: framing, check value, sequence numbers and the stop-and-wait
// exchanges of its role. It owns no port: it writes through the line's write routine and reads
// single bytes through its read routine, so several ports (a master and an emulator's slave)
// can live in one process. Its exchange events go to the trace it is given.
class PacketPort {
  public:
    static constexpr uint8_t kDefaultAttempts = 5;

    PacketPort(SerialLine& line, PortRole role, const Trace& trace = Trace{});

    PortRole role() const { return role_; }
    LinkState state() const { return state_; }
    bool isUp() const { return state_ == LinkState::LINK_UP; }
    void setAttempts(uint8_t n) { attempts_ = n; }
    SerialLine& line() { return line_; }
    const Trace& trace() const { return trace_; }

    // Master role: bring the link up, take it down.
    bool connect();
    bool disconnect();
    // Either role: one acknowledged packet out, or one packet in (into the buffer, which is
    // cleared first). False when the exchange failed.
    bool send(PacketBuffer& packet);
    bool receive(PacketBuffer& packet);

    // Frame level, exposed for tests.
    bool sendFrame(FrameKind kind, PacketBuffer* packet);
    // One frame in, into the packet (or checked and dropped without one, when any packet up to
    // PACKET_SIZE is allowed for). A read that brings no byte ends the call as not completed,
    // and so does a line that keeps sending without forming a frame (the wrong device on the
    // port, noise): a call reads at most frameBudget(capacity) bytes up to the start of its
    // first frame (its 0x10 0x02 included) and twice that from there on, receiveBudget() in
    // all, each read waiting at most the line's read time-out. Every 0x10 0x02 starts a frame
    // afresh, check value included, so a frame that lost its tail on the line costs only
    // itself. No exchange makes a further attempt once the line reports that the device is
    // gone.
    struct Received {
        bool completed;
        RxOutcome outcome;
    };
    Received receiveFrame(PacketBuffer* packet);

  private:
    bool masterSend(PacketBuffer& packet);
    bool masterReceive(PacketBuffer& packet);
    bool slaveSend(PacketBuffer& packet);
    bool slaveReceive(PacketBuffer& packet);
    // The master's connect or disconnect: the request frame until the slave's link
    // acknowledgement, in state during; accepted on success, Down after the last attempt.
    bool linkControl(FrameKind request, LinkState during, LinkState accepted);
    // One frame of an exchange: its outcome, or none when no frame completed; completed is set
    // once any frame of the exchange has completed (the closing rule needs it).
    bool awaitFrame(PacketBuffer* packet, bool* completed, RxOutcome* outcome);
    // Sequenced kinds move the sequence on (mod 4); any other kind resets it to 0.
    void advanceSequence(FrameKind kind);
    // Acknowledges a frame (or answers a link request) and moves the state on.
    void answer(FrameKind kind, LinkState next);
    // A data frame sent is acknowledged when the frame that came back is an acknowledgement
    // under the expected number: the sequence moves on and the link is up again.
    bool acknowledged(bool framed, RxOutcome outcome);
    // Purges the serial receive side (a read of 0 bytes).
    void flushInput();
    // An exchange has used its attempts: where the link stands afterwards.
    void applyClosingRule(bool frameCompleted);

    SerialLine& line_;
    Trace trace_;
    PortRole role_;
    LinkState state_ = LinkState::LINK_DOWN;
    uint8_t attempts_ = kDefaultAttempts;
    uint8_t sequence_ = 0;
};

}  // namespace kvtlnk
