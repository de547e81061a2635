// The emulator's framing against frames as the library sends them, and its reader against
// damaged and runaway input.
#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <string>

#include "line_script.h"

namespace kvttools {
namespace {

TEST(ToolsFrame, CheckValueIsX25) {
    const std::string digits = "123456789";
    EXPECT_EQ(checkValue(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x906E);
}

// Every kind as it crosses the wire, encoded and read back.
TEST(ToolsFrame, EveryKindBothWays) {
    const struct {
        FrameKind kind;
        uint8_t sequence;
        Bytes packet, wire;
        Outcome read;
    } cases[] = {
        // clang-format off
        {FrameKind::Connect, 0, {}, {0x10, 0x02, 0x03, 0x10, 0x03, 0xA2, 0x8E}, Outcome::Connect},
        {FrameKind::LinkAck, 2, {}, {0x10, 0x02, 0x07, 0x10, 0x03, 0xC3, 0xED}, Outcome::LinkAck},
        {FrameKind::Disconnect, 0, {}, {0x10, 0x02, 0x0B, 0x10, 0x03, 0x60, 0x48}, Outcome::Disconnect},
        {FrameKind::Ack, 0, {}, {0x10, 0x02, 0x01, 0x10, 0x03, 0x1A, 0x3B}, Outcome::Ack},
        {FrameKind::Ack, 3, {}, {0x10, 0x02, 0x61, 0x10, 0x03, 0x57, 0x3E}, Outcome::Ack},
        {FrameKind::Data, 0, {'i', 'd'}, {0x10, 0x02, 0x00, 0x69, 0x64, 0x10, 0x03, 0xD6, 0x6E}, Outcome::Data},
        {FrameKind::Data, 1, {0x04}, {0x10, 0x02, 0x20, 0x04, 0x10, 0x03, 0xE6, 0xB7}, Outcome::Data},
        {FrameKind::Data, 0, {0x10}, {0x10, 0x02, 0x00, 0x10, 0x10, 0x10, 0x03, 0x49, 0x2E}, Outcome::Data},
        // clang-format on
    };
    for (const auto& c : cases) {
        const Bytes wire = encodeFrame(c.kind, c.sequence, c.packet.data(), c.packet.size());
        EXPECT_EQ(wire, c.wire) << static_cast<int>(c.kind);
        ScriptedLine line({wire});
        Bytes packet = {0xEE};
        EXPECT_EQ(readFrame(line, c.sequence, &packet), c.read) << static_cast<int>(c.kind);
        EXPECT_EQ(packet, c.packet);
    }
}

TEST(ToolsFrame, DamagedAndStrayInputIsToldApart) {
    const Bytes id = encodeFrame(FrameKind::Data, 0, reinterpret_cast<const uint8_t*>("id"), 2);
    Bytes badCheck = id;
    badCheck.back() ^= 1;
    Bytes flagged = id;  // bits 4 and 7 of the type byte are not the kind's
    flagged[2] = 0x90;
    const uint16_t check = checkValue(flagged.data() + 2, flagged.size() - 4);
    flagged[flagged.size() - 2] = static_cast<uint8_t>(check), flagged.back() = check >> 8;
    Bytes noisy = {'a', 0x10, 0x10, 0x03};
    noisy.insert(noisy.end(), id.begin(), id.end());
    Bytes restarted = {0x10, 0x02, 0x00, 'x', 0x10, 0x02};  // a second DLE STX inside the data
    restarted.insert(restarted.end(), id.begin() + 2, id.end());
    const struct {
        const char* what;
        Bytes input;
        uint8_t sequence;
        Outcome read;
    } cases[] = {
        // clang-format off
        {"noise before the frame", noisy, 0, Outcome::Data},
        {"a wrong check value", badCheck, 0, Outcome::BadCheck},
        {"another sequence number", id, 1, Outcome::BadSequence},
        {"type bits 4 and 7 set", flagged, 0, Outcome::Data},
        {"an unknown type code", encodeFrame(static_cast<FrameKind>(0x05), 0), 0, Outcome::UnknownType},
        {"a frame restarted inside", restarted, 0, Outcome::BadCheck},
        {"a frame cut short", Bytes(id.begin(), id.end() - 1), 0, Outcome::None},
        {"a silent line", {}, 0, Outcome::None},
        {"a line that never forms a frame", Bytes(5000, 0x10), 0, Outcome::None},
        // clang-format on
    };
    for (const auto& c : cases) {
        ScriptedLine line({c.input});
        Bytes packet;
        EXPECT_EQ(readFrame(line, c.sequence, &packet), c.read) << c.what;
    }
}

TEST(ToolsFrame, APacketPastItsLimitEndsTheFrameThere) {
    for (const size_t n : {kMaxPacket, kMaxPacket + 1}) {
        const Bytes data(n, 0x10);
        ScriptedLine line({encodeFrame(FrameKind::Data, 0, data.data(), data.size())});
        Bytes packet;
        EXPECT_EQ(readFrame(line, 0, &packet), n > kMaxPacket ? Outcome::Overflow : Outcome::Data);
        EXPECT_EQ(packet.size(), kMaxPacket);
        // Without a packet the data is checked and dropped; one too long for a packet, each
        // byte doubled, is past the bytes a frame may take.
        ScriptedLine again({encodeFrame(FrameKind::Data, 0, data.data(), data.size())});
        EXPECT_EQ(readFrame(again, 0, nullptr), n > kMaxPacket ? Outcome::None : Outcome::Data);
    }
}

}  // namespace
}  // namespace kvttools
