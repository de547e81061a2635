#include "propkt/ptalklib.h"

#include "propkt/debug_trace.h"

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

bool isSequenced(FrameKind kind) {
    return kind == FrameKind::FRAME_DATA || kind == FrameKind::FRAME_ACK;
}

// A frame the master waited for and did not get, in the exchange trace.
void traceMiss(const Trace& trace, bool framed, RxOutcome outcome) {
    if (!framed) {
        trace.exchange("time-out");
    } else if (outcome == RxOutcome::RX_BAD_CRC) {
        trace.exchange("check value wrong");
    } else if (outcome == RxOutcome::RX_OVERFLOW) {
        trace.exchange("packet longer than its buffer");
    }
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

// Where the receiver stands in the byte stream.
enum class RxState {
    Outside,       // between frames
    AfterDle,      // after a DLE between frames
    TypeByte,      // after DLE STX
    Data,          // inside the frame
    AfterDataDle,  // after a DLE inside the frame: doubled DLE, DLE ETX or DLE STX
    CheckLow,      // first check byte
    CheckHigh,     // second check byte
};

// The bytes that a frame still has to bring in each state, the next one included: the rest of
// DLE STX, the type byte, DLE ETX and the two check bytes.
constexpr uint8_t kStillToCome[] = {1, 6, 5, 4, 3, 2, 1};

}  // namespace

uint16_t crc16Update(uint16_t reg, const uint8_t* bytes, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        reg = crcByte(reg, bytes[i]);
    return reg;
}

PacketPort::PacketPort(SerialLine& line, PortRole role, const Trace& trace)
    : line_(line), trace_(trace), role_(role) {}

bool PacketPort::sendFrame(FrameKind kind, PacketBuffer* packet) {
    FrameWriter out(line_);
    uint8_t type = kTypeCode[static_cast<int>(kind)];
    if (isSequenced(kind)) type = static_cast<uint8_t>(type | (sequence_ << 5));
    out.put(DLE);
    out.put(STX);
    out.put(type);
    uint16_t reg = crcByte(0xFFFF, type);

    if (kind == FrameKind::FRAME_DATA && packet != nullptr) {
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
    const uint32_t budget = frameBudget(packet != nullptr ? packet->capacity() : PACKET_SIZE);
    uint32_t left = budget;
    bool framed = false;  // a frame has begun in this call
    uint16_t reg = 0xFFFF;
    RxState state = RxState::Outside;
    RxOutcome outcome = RxOutcome::RX_UNKNOWN_TYPE;
    uint8_t checkLow = 0;
    // Data goes to the packet; a full packet ends the frame at once.
    auto store = [packet](uint8_t b) { return packet == nullptr || packet->append(&b, 1) == 1; };

    for (;;) {
        uint8_t b;
        line_.expect(kStillToCome[static_cast<int>(state)]);
        if (left == 0 || line_.read(&b, 1) != 1) return {false, outcome};
        --left;
        if (b == STX && (state == RxState::AfterDle || state == RxState::AfterDataDle)) {
            // A frame starts (or starts again, when the one before lost its tail on the line):
            // the check covers it alone. From the first start on (its 0x10 0x02 included) the
            // call reads at most twice the budget: room for a frame cut short and a whole one.
            if (!framed) left = 2 * budget - 2;
            framed = true;
            reg = 0xFFFF;
            state = RxState::TypeByte;
            continue;
        }
        switch (state) {
            case RxState::Outside:
                state = b == DLE ? RxState::AfterDle : RxState::Outside;
                break;
            case RxState::AfterDle:
                state = b == DLE ? RxState::AfterDle : RxState::Outside;
                break;
            case RxState::TypeByte: {
                outcome = RxOutcome::RX_UNKNOWN_TYPE;
                for (int k = 0; k < kKindCount; ++k) {
                    if ((b & 0x0F) != kTypeCode[k]) continue;
                    const auto kind = static_cast<FrameKind>(k);
                    outcome = outcomeOf(kind);
                    if (isSequenced(kind) && ((b >> 5) & 0x03) != sequence_) {
                        outcome = RxOutcome::RX_BAD_SEQUENCE;
                    }
                    break;
                }
                if (packet != nullptr) packet->clear();
                reg = crcByte(reg, b);
                state = RxState::Data;
                break;
            }
            case RxState::Data:
                reg = crcByte(reg, b);
                if (b == DLE) {
                    state = RxState::AfterDataDle;
                } else if (!store(b)) {
                    return {true, RxOutcome::RX_OVERFLOW};
                }
                break;
            case RxState::AfterDataDle:
                if (b == DLE && !store(b)) return {true, RxOutcome::RX_OVERFLOW};
                reg = crcByte(reg, b);
                state = b == DLE ? RxState::Data : b == ETX ? RxState::CheckLow : RxState::Outside;
                break;
            case RxState::CheckLow:
                checkLow = b;
                state = RxState::CheckHigh;
                break;
            case RxState::CheckHigh: {
                uint16_t received = static_cast<uint16_t>(checkLow | (b << 8));
                if ((received ^ reg) != 0xFFFF) outcome = RxOutcome::RX_BAD_CRC;
                return {true, outcome};
            }
        }
    }
}

void PacketPort::advanceSequence(FrameKind kind) {
    sequence_ = isSequenced(kind) ? static_cast<uint8_t>((sequence_ + 1) & 0x03) : 0;
}

void PacketPort::answer(FrameKind kind, LinkState next) {
    sendFrame(kind, nullptr);
    advanceSequence(kind);
    state_ = next;
}

bool PacketPort::acknowledged(bool framed, RxOutcome outcome) {
    if (!framed || outcome != RxOutcome::FRAME_ACK) return false;
    advanceSequence(FrameKind::FRAME_ACK);
    state_ = LinkState::LINK_UP;
    return true;
}

void PacketPort::flushInput() {
    line_.read(nullptr, 0);
}

void PacketPort::applyClosingRule(bool frameCompleted) {
    if (!frameCompleted) {
        state_ = LinkState::LINK_DOWN;
    } else if (state_ == LinkState::LINK_CONNECTING || state_ == LinkState::LINK_DISCONNECTING) {
        state_ = LinkState::LINK_DOWN;
    } else if (state_ == LinkState::LINK_DATA_PENDING) {
        state_ = LinkState::LINK_UP;
    }
}

bool PacketPort::connect() {
    return linkControl(FrameKind::FRAME_CONNECT, LinkState::LINK_CONNECTING, LinkState::LINK_UP);
}

bool PacketPort::disconnect() {
    return linkControl(FrameKind::FRAME_DISCONNECT, LinkState::LINK_DISCONNECTING,
                       LinkState::LINK_DOWN);
}

bool PacketPort::linkControl(FrameKind request, LinkState during, LinkState accepted) {
    for (unsigned attempt = 0; attempt < attempts_ && !line_.gone(); ++attempt) {
        state_ = during;
        // A connect starts from a clean line; a disconnect must not lose what is queued.
        if (request == FrameKind::FRAME_CONNECT) flushInput();
        sendFrame(request, nullptr);
        Received r = receiveFrame(nullptr);
        if (r.completed && r.outcome == RxOutcome::FRAME_LINK_ACK) {
            state_ = accepted;
            advanceSequence(FrameKind::FRAME_LINK_ACK);
            return true;
        }
    }
    state_ = LinkState::LINK_DOWN;
    return false;
}

bool PacketPort::awaitFrame(PacketBuffer* packet, bool* completed, RxOutcome* outcome) {
    // Nothing will come from a device that is gone (the frame just sent did not leave either).
    const Received r =
        line_.gone() ? Received{false, RxOutcome::RX_UNKNOWN_TYPE} : receiveFrame(packet);
    *completed = *completed || r.completed;
    *outcome = r.outcome;
    return r.completed;
}

bool PacketPort::send(PacketBuffer& packet) {
    return role_ == PortRole::Master ? masterSend(packet) : slaveSend(packet);
}

bool PacketPort::receive(PacketBuffer& packet) {
    packet.clear();
    return role_ == PortRole::Master ? masterReceive(packet) : slaveReceive(packet);
}

bool PacketPort::masterSend(PacketBuffer& packet) {
    if (state_ == LinkState::LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_ && !line_.gone(); ++attempt) {
        if (attempt > 0) trace_.exchange("sending again");
        sendFrame(FrameKind::FRAME_DATA, &packet);
        state_ = LinkState::LINK_DATA_PENDING;
        RxOutcome outcome;
        const bool framed = awaitFrame(nullptr, &completed, &outcome);
        if (acknowledged(framed, outcome)) return true;
        traceMiss(trace_, framed, outcome);
        if (framed && (outcome == RxOutcome::FRAME_DATA || outcome == RxOutcome::FRAME_DISCONNECT ||
                       outcome == RxOutcome::RX_BAD_SEQUENCE)) {
            // The slave has lost step with us: bring the link up afresh and resend at 0.
            trace_.exchange("link restart");
            if (!connect()) return false;
        } else {
            state_ = LinkState::LINK_UP;
        }
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::masterReceive(PacketBuffer& packet) {
    if (state_ == LinkState::LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_ && !line_.gone(); ++attempt) {
        RxOutcome outcome;
        const bool framed = awaitFrame(&packet, &completed, &outcome);
        if (framed && outcome == RxOutcome::FRAME_DATA) {
            state_ = LinkState::LINK_DATA_PENDING;
        } else if (framed && (outcome == RxOutcome::FRAME_DISCONNECT ||
                              outcome == RxOutcome::RX_BAD_SEQUENCE)) {
            // A repeated data frame (our acknowledgement was lost) or a slave that went down.
            trace_.exchange("link restart");
            connect();
            return false;
        } else {
            traceMiss(trace_, framed, outcome);
        }
        if (state_ == LinkState::LINK_DATA_PENDING) {
            answer(FrameKind::FRAME_ACK, LinkState::LINK_UP);
            return true;
        }
        state_ = LinkState::LINK_UP;
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::slaveReceive(PacketBuffer& packet) {
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_ && !line_.gone(); ++attempt) {
        RxOutcome outcome;
        if (awaitFrame(&packet, &completed, &outcome)) {
            const bool idle = state_ == LinkState::LINK_DOWN || state_ == LinkState::LINK_UP;
            if (outcome == RxOutcome::FRAME_CONNECT) {
                if (idle) state_ = LinkState::LINK_CONNECTING;
            } else if (outcome == RxOutcome::FRAME_DISCONNECT) {
                if (idle) state_ = LinkState::LINK_DISCONNECTING;
            } else if (state_ == LinkState::LINK_DOWN) {
                if (outcome == RxOutcome::FRAME_DATA || outcome == RxOutcome::RX_BAD_SEQUENCE) {
                    // Tell a master that sends into a link it thinks is up that it is not.
                    flushInput();
                    sendFrame(FrameKind::FRAME_DISCONNECT, nullptr);
                }
            } else if (state_ == LinkState::LINK_UP) {
                if (outcome == RxOutcome::FRAME_DATA) {
                    state_ = LinkState::LINK_DATA_PENDING;
                } else if (outcome == RxOutcome::RX_BAD_SEQUENCE) {
                    flushInput();
                    sendFrame(FrameKind::FRAME_DISCONNECT, nullptr);
                    state_ = LinkState::LINK_DOWN;
                }
            }
        }
        if (state_ == LinkState::LINK_CONNECTING) {
            answer(FrameKind::FRAME_LINK_ACK, LinkState::LINK_UP);
        } else if (state_ == LinkState::LINK_DISCONNECTING) {
            answer(FrameKind::FRAME_LINK_ACK, LinkState::LINK_DOWN);
            packet.clear();
            return true;
        } else if (state_ == LinkState::LINK_DATA_PENDING) {
            answer(FrameKind::FRAME_ACK, LinkState::LINK_UP);
            return true;
        }
    }
    applyClosingRule(completed);
    return false;
}

bool PacketPort::slaveSend(PacketBuffer& packet) {
    if (state_ == LinkState::LINK_DOWN) return false;
    bool completed = false;
    for (unsigned attempt = 0; attempt < attempts_ && !line_.gone(); ++attempt) {
        if (state_ == LinkState::LINK_DOWN) {
            flushInput();
            sendFrame(FrameKind::FRAME_DISCONNECT, nullptr);
        } else {
            sendFrame(FrameKind::FRAME_DATA, &packet);
            state_ = LinkState::LINK_DATA_PENDING;
        }
        RxOutcome outcome;
        const bool framed = awaitFrame(nullptr, &completed, &outcome);
        if (acknowledged(framed, outcome)) return true;
        if (framed && outcome == RxOutcome::FRAME_CONNECT) {
            // The master restarted the link; the packet is dropped.
            answer(FrameKind::FRAME_LINK_ACK, LinkState::LINK_UP);
            return false;
        }
        if (framed && outcome == RxOutcome::FRAME_DISCONNECT) {
            flushInput();
            answer(FrameKind::FRAME_LINK_ACK, LinkState::LINK_DOWN);
            return false;
        }
        if (framed && (outcome == RxOutcome::FRAME_DATA || outcome == RxOutcome::RX_BAD_SEQUENCE)) {
            state_ = LinkState::LINK_DOWN;
        } else if (state_ != LinkState::LINK_DOWN) {
            state_ = LinkState::LINK_UP;
        }
    }
    applyClosingRule(completed);
    return false;
}

}  // namespace kvtlnk
