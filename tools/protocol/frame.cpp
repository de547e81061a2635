#include "protocol/frame.h"

#include <array>

namespace kvttools {
namespace {

// The table of the bit-reflected polynomial 0x1021, that is 0x8408.
constexpr std::array<uint16_t, 256> crcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? (r >> 1) ^ 0x8408u : r >> 1;
        table[i] = static_cast<uint16_t>(r);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = crcTable();

constexpr size_t kReadBudget = 2 * kMaxPacket + 8;

Outcome outcomeOf(uint8_t type, uint8_t expectedSequence) {
    const auto kind = static_cast<FrameKind>(type & 0x0F);
    switch (kind) {
        case FrameKind::Data:
        case FrameKind::Ack:
            if (((type >> 5) & 3) != expectedSequence) return Outcome::BadSequence;
            return kind == FrameKind::Data ? Outcome::Data : Outcome::Ack;
        case FrameKind::Connect:
            return Outcome::Connect;
        case FrameKind::LinkAck:
            return Outcome::LinkAck;
        case FrameKind::Disconnect:
            return Outcome::Disconnect;
    }
    return Outcome::UnknownType;
}

// Adds a data byte to the packet; false when it is full.
bool keep(std::vector<uint8_t>* packet, uint8_t byte) {
    if (packet == nullptr) return true;
    if (packet->size() >= kMaxPacket) return false;
    packet->push_back(byte);
    return true;
}

}  // namespace

uint16_t crcStep(uint16_t reg, uint8_t byte) {
    return static_cast<uint16_t>((reg >> 8) ^ kCrcTable[(reg ^ byte) & 0xFF]);
}

uint16_t checkValue(const uint8_t* bytes, size_t n) {
    uint16_t reg = 0xFFFF;
    for (size_t i = 0; i < n; ++i)
        reg = crcStep(reg, bytes[i]);
    return static_cast<uint16_t>(~reg);
}

std::vector<uint8_t> encodeFrame(FrameKind kind, uint8_t sequence, const uint8_t* data, size_t n) {
    uint8_t type = static_cast<uint8_t>(kind);
    if (isSequenced(kind)) type = static_cast<uint8_t>(type | (sequence & 3) << 5);
    std::vector<uint8_t> frame = {kDle, kStx, type};
    for (size_t i = 0; kind == FrameKind::Data && i < n; ++i) {
        frame.push_back(data[i]);
        if (data[i] == kDle) frame.push_back(kDle);
    }
    frame.push_back(kDle);
    frame.push_back(kEtx);
    const uint16_t check = checkValue(frame.data() + 2, frame.size() - 2);
    frame.push_back(static_cast<uint8_t>(check));
    frame.push_back(static_cast<uint8_t>(check >> 8));
    return frame;
}

Outcome readFrame(ByteSource& source, uint8_t expectedSequence, std::vector<uint8_t>* packet) {
    enum class At { Between, AfterDle, Type, Body, BodyDle, CheckLow, CheckHigh };
    At at = At::Between;
    size_t left = kReadBudget;
    bool begun = false;
    uint16_t reg = 0xFFFF;
    Outcome outcome = Outcome::UnknownType;
    uint8_t low = 0;
    if (packet != nullptr) packet->clear();
    for (;;) {
        uint8_t b;
        if (left == 0 || !source.readByte(&b)) return Outcome::None;
        --left;
        switch (at) {
            case At::Between:
                if (b == kDle) at = At::AfterDle;
                break;
            case At::AfterDle:
                if (b == kStx && !begun) {
                    begun = true;  // the frame's own budget counts from its DLE STX
                    left = kReadBudget - 2;
                }
                at = b == kStx ? At::Type : b == kDle ? At::AfterDle : At::Between;
                break;
            case At::Type:
                outcome = outcomeOf(b, expectedSequence);
                if (packet != nullptr) packet->clear();
                reg = crcStep(reg, b);
                at = At::Body;
                break;
            case At::Body:
                reg = crcStep(reg, b);
                if (b == kDle) {
                    at = At::BodyDle;
                } else if (!keep(packet, b)) {
                    return Outcome::Overflow;
                }
                break;
            case At::BodyDle:
                reg = crcStep(reg, b);
                if (b == kDle && !keep(packet, b)) return Outcome::Overflow;
                at = b == kDle   ? At::Body
                     : b == kStx ? At::Type
                     : b == kEtx ? At::CheckLow
                                 : At::Between;
                break;
            case At::CheckLow:
                low = b;
                at = At::CheckHigh;
                break;
            case At::CheckHigh:
                return ((low | b << 8) ^ reg) == 0xFFFF ? outcome : Outcome::BadCheck;
        }
    }
}

}  // namespace kvttools
