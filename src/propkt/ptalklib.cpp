#include "propkt/ptalklib.h"

#include <array>

namespace kvtlnk {

namespace {

constexpr uint8_t DLE = 0x10;
constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;

// The 256-entry table of the bit-reflected polynomial 0x1021 (0x8408).
constexpr std::array<uint16_t, 256> makeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t r = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1) ? static_cast<uint16_t>((r >> 1) ^ 0x8408) : static_cast<uint16_t>(r >> 1);
        }
        table[i] = r;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = makeCrcTable();

inline uint16_t crcByte(uint16_t reg, uint8_t b) {
    return static_cast<uint16_t>((reg >> 8) ^ kCrcTable[(reg ^ b) & 0xFF]);
}

// Type codes of the frame kinds, in decoding order.
constexpr uint8_t kTypeCode[] = {0x00, 0x01, 0x03, 0x07, 0x0B};
constexpr int kKindCount = 5;

bool isSequenced(int kind) {
    return kind == FRAME_DATA || kind == FRAME_ACK;
}

// The staging area of an outgoing frame: at most 255 bytes reach the line per write.
class FrameWriter {
  public:
    explicit FrameWriter(SerialLine& line) : line_(line) {}
    void put(uint8_t b) { area_[count_++] = b; }
    uint16_t count() const { return count_; }
    // Hands the staged bytes to the line; false when it took fewer.
    bool flush() {
        uint16_t n = count_;
        count_ = 0;
        return line_.write(area_, n) == n;
    }

  private:
    SerialLine& line_;
    uint8_t area_[256];
    uint16_t count_ = 0;
};

// Receive states: outside a frame, after a DLE outside, type byte, data, after a data DLE,
// check value low byte, check value high byte.
enum RxState { R0, R1, R2, R3, R4, R5, R6 };

}  // namespace

uint16_t crc16Update(uint16_t reg, const uint8_t* bytes, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        reg = crcByte(reg, bytes[i]);
    return reg;
}

PacketPort::PacketPort(SerialLine& line, PortRole role) : line_(line), role_(role) {}

bool PacketPort::sendFrame(int kind, PacketBuffer* packet) {
    FrameWriter out(line_);
    uint8_t type = kTypeCode[kind];
    if (isSequenced(kind)) type = static_cast<uint8_t>(type | (sequence_ << 5));
    out.put(DLE);
    out.put(STX);
    out.put(type);
    uint16_t reg = crcByte(0xFFFF, type);

    if (kind == FRAME_DATA && packet != nullptr) {
        packet->rewind();
        uint8_t piece[8];
        uint16_t n;
        while ((n = packet->take(piece, sizeof piece)) > 0) {
            for (uint16_t i = 0; i < n; ++i) {
                if (out.count() >= 254 && !out.flush()) return false;
                uint8_t b = piece[i];
                out.put(b);
                reg = crcByte(reg, b);
                if (b == DLE) {
                    out.put(DLE);
                    reg = crcByte(reg, DLE);
                }
            }
        }
    }
    if (out.count() >= 252 && !out.flush()) return false;

    out.put(DLE);
    out.put(ETX);
    reg = crcByte(crcByte(reg, DLE), ETX);
    uint16_t check = static_cast<uint16_t>(~reg);
    out.put(static_cast<uint8_t>(check & 0xFF));
    out.put(static_cast<uint8_t>(check >> 8));
    return out.flush();
}

PacketPort::Received PacketPort::receiveFrame(PacketBuffer* packet) {
    uint16_t reg = 0xFFFF;
    RxState state = R0;
    int outcome = RX_UNKNOWN_TYPE;
    uint8_t checkLow = 0;
    // Data goes to the packet; a full packet ends the frame at once.
    auto store = [packet](uint8_t b) { return packet == nullptr || packet->append(&b, 1) == 1; };

    for (;;) {
        uint8_t b;
        if (line_.read(&b, 1) != 1) return {false, outcome};
        switch (state) {
            case R0:
                state = b == DLE ? R1 : R0;
                break;
            case R1:
                state = b == DLE ? R1 : b == STX ? R2 : R0;
                break;
            case R2: {
                outcome = RX_UNKNOWN_TYPE;
                for (int kind = 0; kind < kKindCount; ++kind) {
                    if ((b & 0x0F) != kTypeCode[kind]) continue;
                    outcome = kind;
                    if (isSequenced(kind) && ((b >> 5) & 0x03) != sequence_) {
                        outcome = RX_BAD_SEQUENCE;
                    }
                    break;
                }
                if (packet != nullptr) packet->clear();
                reg = crcByte(reg, b);
                state = R3;
                break;
            }
            case R3:
                reg = crcByte(reg, b);
                if (b == DLE) {
                    state = R4;
                } else if (!store(b)) {
                    return {true, RX_OVERFLOW};
                }
                break;
            case R4:
                if (b == DLE && !store(b)) return {true, RX_OVERFLOW};
                reg = crcByte(reg, b);
                state = b == DLE ? R3 : b == STX ? R2 : b == ETX ? R5 : R0;
                break;
            case R5:
                checkLow = b;
                state = R6;
                break;
            case R6: {
                uint16_t received = static_cast<uint16_t>(checkLow | (b << 8));
                if ((received ^ reg) != 0xFFFF) outcome = RX_BAD_CRC;
                return {true, outcome};
            }
        }
    }
}

void PacketPort::advanceSequence(int kind) {
    sequence_ = isSequenced(kind) ? static_cast<uint8_t>((sequence_ + 1) & 0x03) : 0;
}

void PacketPort::flushInput() {
    line_.read(nullptr, 0);
}

void PacketPort::applyClosingRule(bool frameCompleted) {
    if (!frameCompleted) {
        state_ = LINK_DOWN;
    } else if (state_ == LINK_CONNECTING || state_ == LINK_DISCONNECTING) {
        state_ = LINK_DOWN;
    } else if (state_ == LINK_DATA_PENDING) {
        state_ = LINK_UP;
    }
}

bool PacketPort::connect() {
    return linkControl(FRAME_CONNECT, LINK_CONNECTING, LINK_UP);
}

bool PacketPort::disconnect() {
    return linkControl(FRAME_DISCONNECT, LINK_DISCONNECTING, LINK_DOWN);
}

bool PacketPort::linkControl(int request, int32_t during, int32_t accepted) {
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        state_ = during;
        // A connect starts from a clean line; a disconnect must not lose what is queued.
        if (request == FRAME_CONNECT) flushInput();
        sendFrame(request, nullptr);
        Received r = receiveFrame(nullptr);
        if (r.completed && r.outcome == FRAME_LINK_ACK) {
            state_ = accepted;
            advanceSequence(FRAME_LINK_ACK);
            return true;
        }
    }
    state_ = LINK_DOWN;
    return false;
}

int PacketPort::awaitFrame(PacketBuffer* packet, bool* completed) {
    const Received r = receiveFrame(packet);
    *completed = *completed || r.completed;
    return r.completed ? r.outcome : kNoFrame;
}

bool PacketPort::send(PacketBuffer& packet) {
    return role_ == PortRole::Master ? masterSend(packet) : slaveSend(packet);
}

bool PacketPort::receive(PacketBuffer& packet) {
    packet.clear();
    return role_ == PortRole::Master ? masterReceive(packet) : slaveReceive(packet);
}

bool PacketPort::masterSend(PacketBuffer& packet) {
    if (state_ == LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        sendFrame(FRAME_DATA, &packet);
        state_ = LINK_DATA_PENDING;
        const int outcome = awaitFrame(nullptr, &completed);
        if (outcome == FRAME_ACK) {
            advanceSequence(FRAME_ACK);
            state_ = LINK_UP;
            return true;
        }
        if (outcome == FRAME_DATA || outcome == FRAME_DISCONNECT || outcome == RX_BAD_SEQUENCE) {
            // The slave has lost step with us: bring the link up afresh and resend at 0.
            if (!connect()) return false;
        } else {
            state_ = LINK_UP;
        }
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::masterReceive(PacketBuffer& packet) {
    if (state_ == LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        const int outcome = awaitFrame(&packet, &completed);
        if (outcome == FRAME_DATA) {
            state_ = LINK_DATA_PENDING;
        } else if (outcome == FRAME_DISCONNECT || outcome == RX_BAD_SEQUENCE) {
            // A repeated data frame (our acknowledgement was lost) or a slave that went down.
            connect();
            return false;
        }
        if (state_ == LINK_DATA_PENDING) {
            sendFrame(FRAME_ACK, nullptr);
            state_ = LINK_UP;
            advanceSequence(FRAME_ACK);
            return true;
        }
        state_ = LINK_UP;
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::slaveReceive(PacketBuffer& packet) {
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        Received r = receiveFrame(&packet);
        if (r.completed) {
            completed = true;
            int outcome = r.outcome;
            if (outcome == FRAME_CONNECT) {
                if (state_ == LINK_DOWN || state_ == LINK_UP) state_ = LINK_CONNECTING;
            } else if (outcome == FRAME_DISCONNECT) {
                if (state_ == LINK_DOWN || state_ == LINK_UP) state_ = LINK_DISCONNECTING;
            } else if (state_ == LINK_DOWN) {
                if (outcome == FRAME_DATA || outcome == RX_BAD_SEQUENCE) {
                    // Tell a master that sends into a link it thinks is up that it is not.
                    flushInput();
                    sendFrame(FRAME_DISCONNECT, nullptr);
                }
            } else if (state_ == LINK_UP) {
                if (outcome == FRAME_DATA) {
                    state_ = LINK_DATA_PENDING;
                } else if (outcome == RX_BAD_SEQUENCE) {
                    flushInput();
                    sendFrame(FRAME_DISCONNECT, nullptr);
                    state_ = LINK_DOWN;
                }
            }
        }
        if (state_ == LINK_CONNECTING) {
            sendFrame(FRAME_LINK_ACK, nullptr);
            advanceSequence(FRAME_LINK_ACK);
            state_ = LINK_UP;
        } else if (state_ == LINK_DISCONNECTING) {
            sendFrame(FRAME_LINK_ACK, nullptr);
            advanceSequence(FRAME_LINK_ACK);
            state_ = LINK_DOWN;
            packet.clear();
            return true;
        } else if (state_ == LINK_DATA_PENDING) {
            sendFrame(FRAME_ACK, nullptr);
            advanceSequence(FRAME_ACK);
            state_ = LINK_UP;
            return true;
        }
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::slaveSend(PacketBuffer& packet) {
    if (state_ == LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        if (state_ == LINK_DOWN) {
            flushInput();
            sendFrame(FRAME_DISCONNECT, nullptr);
        } else {
            sendFrame(FRAME_DATA, &packet);
            state_ = LINK_DATA_PENDING;
        }
        const int outcome = awaitFrame(nullptr, &completed);
        if (outcome == FRAME_ACK) {
            advanceSequence(FRAME_ACK);
            state_ = LINK_UP;
            return true;
        }
        if (outcome == FRAME_CONNECT) {
            // The master restarted the link; the packet is dropped.
            sendFrame(FRAME_LINK_ACK, nullptr);
            advanceSequence(FRAME_LINK_ACK);
            state_ = LINK_UP;
            return false;
        }
        if (outcome == FRAME_DISCONNECT) {
            flushInput();
            sendFrame(FRAME_LINK_ACK, nullptr);
            advanceSequence(FRAME_LINK_ACK);
            state_ = LINK_DOWN;
            return false;
        }
        if (outcome == FRAME_DATA || outcome == RX_BAD_SEQUENCE) {
            state_ = LINK_DOWN;
        } else if (state_ != LINK_DOWN) {
            state_ = LINK_UP;
        }
    }
    applyClosingRule(completed);
    return false;
}

}  // namespace kvtlnk
