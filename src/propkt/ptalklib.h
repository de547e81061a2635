#pragma once

#include <cstdint>

#include "propkt/packet_buffer.h"
#include "propkt/serial_line.h"

namespace kvtlnk {

// CRC-16/X-25 over the bytes, continuing from the register value reg (start with 0xFFFF; the
// check value sent is the complement of the final register, low byte first).
uint16_t crc16Update(uint16_t reg, const uint8_t* bytes, uint32_t n);

enum LinkState : int32_t {
    LINK_DOWN = 0,
    LINK_CONNECTING = 1,
    LINK_DISCONNECTING = 2,
    LINK_UP = 3,
    LINK_DATA_PENDING = 4,
};

// Frame kinds in decoding order, and the receive outcomes beyond them.
enum FrameOutcome : int {
    FRAME_DATA = 0,
    FRAME_ACK = 1,
    FRAME_CONNECT = 2,
    FRAME_LINK_ACK = 3,
    FRAME_DISCONNECT = 4,
    RX_OVERFLOW = 5,
    RX_BAD_CRC = 6,
    RX_BAD_SEQUENCE = 7,
    RX_UNKNOWN_TYPE = 8,
};

enum class PortRole { Master, Slave };

// One end of the packet link: framing, check value, sequence numbers and the stop-and-wait
// exchanges of its role. It owns no port: it writes through the line's write routine and reads
// single bytes through its read routine, so several ports (a master and an emulator's slave)
// can live in one process.
class PacketPort {
  public:
    static constexpr uint8_t kDefaultAttempts = 5;

    PacketPort(SerialLine& line, PortRole role);

    PortRole role() const { return role_; }
    int32_t state() const { return state_; }
    uint8_t attempts() const { return attempts_; }
    void setAttempts(uint8_t n) { attempts_ = n; }
    uint8_t sequence() const { return sequence_; }

    // Master role: bring the link up, take it down.
    bool connect();
    bool disconnect();
    // Either role: one acknowledged packet out, or one packet in (into the buffer, which is
    // cleared first). False when the exchange failed.
    bool send(PacketBuffer& packet);
    bool receive(PacketBuffer& packet);

    // Frame level, exposed for tests.
    bool sendFrame(int kind, PacketBuffer* packet);
    struct Received {
        bool completed;
        int outcome;
    };
    Received receiveFrame(PacketBuffer* packet);

  private:
    bool masterSend(PacketBuffer& packet);
    bool masterReceive(PacketBuffer& packet);
    bool slaveSend(PacketBuffer& packet);
    bool slaveReceive(PacketBuffer& packet);
    // The master's connect or disconnect: the request frame until the slave's link
    // acknowledgement, in state during; accepted on success, LINK_DOWN after the last attempt.
    bool linkControl(int request, int32_t during, int32_t accepted);
    // One frame of an exchange: its outcome, or kNoFrame when none completed; completed is
    // set once any frame of the exchange has completed (the closing rule needs it).
    static constexpr int kNoFrame = -1;
    int awaitFrame(PacketBuffer* packet, bool* completed);
    // Sequenced kinds move the sequence on (mod 4); any other kind resets it to 0.
    void advanceSequence(int kind);
    // Purges the serial receive side (a read of 0 bytes).
    void flushInput();
    // An exchange has used its attempts: where the link stands afterwards.
    void applyClosingRule(bool frameCompleted);

    SerialLine& line_;
    PortRole role_;
    int32_t state_ = LINK_DOWN;
    uint8_t attempts_ = kDefaultAttempts;
    uint8_t sequence_ = 0;
};

}  // namespace kvtlnk
