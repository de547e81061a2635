// Check value, frame encoding and the receive state machine, against frames as the calibrator
// sends them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "propkt/link_fixtures.h"

namespace kvtlnk {
namespace {

const Bytes kConnect = {0x10, 0x02, 0x03, 0x10, 0x03, 0xA2, 0x8E};
const Bytes kLinkAck = {0x10, 0x02, 0x07, 0x10, 0x03, 0xC3, 0xED};
const Bytes kAck0 = {0x10, 0x02, 0x01, 0x10, 0x03, 0x1A, 0x3B};
const Bytes kAck3 = {0x10, 0x02, 0x61, 0x10, 0x03, 0x57, 0x3E};
const Bytes kDataId = {0x10, 0x02, 0x00, 0x69, 0x64, 0x10, 0x03, 0xD6, 0x6E};
const Bytes kData1Eot = {0x10, 0x02, 0x20, 0x04, 0x10, 0x03, 0xE6, 0xB7};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(CheckValue, X25OfTheNineDigits) {
    const auto* digits = reinterpret_cast<const uint8_t*>("123456789");
    const uint16_t reg = crc16Update(0xFFFF, digits, 9);
    EXPECT_EQ(static_cast<uint16_t>(~reg), 0x906E);
    EXPECT_EQ(crc16Update(crc16Update(0xFFFF, digits, 4), digits + 4, 5), reg) << "in two pieces";
}

// Each frame as it crosses the wire, sent by a fresh port and decoded by the other end.
TEST(Frame, EveryFrameBothWays) {
    const struct {
        PortRole sender;
        int type;
        Bytes packet, wire;
    } cases[] = {
        {PortRole::Master, FRAME_CONNECT, {}, kConnect},
        {PortRole::Slave, FRAME_LINK_ACK, {}, kLinkAck},
        {PortRole::Master, FRAME_DISCONNECT, {}, {0x10, 0x02, 0x0B, 0x10, 0x03, 0x60, 0x48}},
        {PortRole::Slave, FRAME_ACK, {}, kAck0},
        {PortRole::Master, FRAME_DATA, {'i', 'd'}, kDataId},
        {PortRole::Master,
         FRAME_DATA,
         {0x10},
         {0x10, 0x02, 0x00, 0x10, 0x10, 0x10, 0x03, 0x49, 0x2E}},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.type);
        DuplexLine line(20);
        const bool master = c.sender == PortRole::Master;
        PacketPort sender(master ? line.master() : line.slave(), c.sender);
        PacketPort receiver(master ? line.slave() : line.master(),
                            master ? PortRole::Slave : PortRole::Master);
        PacketBuffer out(c.packet.data(), static_cast<uint16_t>(c.packet.size()),
                         static_cast<uint16_t>(c.packet.size()));
        sender.sendFrame(c.type, c.packet.empty() ? nullptr : &out);
        EXPECT_EQ((master ? line.master() : line.slave()).writes(), std::vector<Bytes>{c.wire});

        Bytes store(16);
        PacketBuffer in(store.data(), 16);
        const PacketPort::Received r = receiver.receiveFrame(&in);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.outcome, c.type);
        EXPECT_EQ(Bytes(store.begin(), store.begin() + in.size()), c.packet);
    }
}

TEST(Frame, SequenceBitsFollowAcknowledgedFrames) {
    // A slave that acknowledged data frames 0, 1 and 2 carries 3 in its next acknowledgement.
    DuplexLine slaveLine(20);
    PacketPort slave(slaveLine.slave(), PortRole::Slave);
    slaveLine.slave().inject(
        concat({kConnect, frameWith(0x00, {1}), frameWith(0x20, {2}), frameWith(0x40, {3})}));
    uint8_t store[8];
    PacketBuffer packet(store, sizeof store);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(slave.receive(packet));
    slave.sendFrame(FRAME_ACK, nullptr);
    EXPECT_EQ(slaveLine.slave().writes(),
              (std::vector<Bytes>{kLinkAck, kAck0, frameWith(0x21), frameWith(0x41), kAck3}));

    // A master whose command was acknowledged sends its next data frame with sequence 1.
    DuplexLine line(20);
    PacketPort master(line.master(), PortRole::Master);
    line.master().setFilter([&line](Bytes& b) {
        line.master().inject(b == kConnect ? kLinkAck : kAck0);
        return false;
    });
    ASSERT_TRUE(master.connect());
    uint8_t id[] = {'i', 'd'}, eot = 0x04;
    PacketBuffer idPacket(id, 2, 2), eotPacket(&eot, 1, 1);
    ASSERT_TRUE(master.send(idPacket));
    master.sendFrame(FRAME_DATA, &eotPacket);
    EXPECT_EQ(line.master().writes().back(), kData1Eot);
}

TEST(Frame, StagesAtMost255BytesPerWrite) {
    const struct {
        size_t length;
        uint8_t fill;
        std::vector<size_t> writeSizes;
    } cases[] = {
        {300, 0x55, {254, 53}},  // 3 + 251 data, then 49 data + 4
        {249, 0x55, {252, 4}},   // the closing bytes would not fit after 252
        {248, 0x55, {255}},      // 3 + 248 + 4 in one write
        {1024, 0x10, {255, 254, 254, 254, 254, 254, 254, 254, 22}},  // every byte doubled
    };
    for (const auto& c : cases) {
        DuplexLine line(20);
        PacketPort port(line.master(), PortRole::Master);
        Bytes data(c.length, c.fill);
        PacketBuffer packet(data.data(), static_cast<uint16_t>(data.size()),
                            static_cast<uint16_t>(data.size()));
        ASSERT_TRUE(port.sendFrame(FRAME_DATA, &packet));
        std::vector<size_t> sizes;
        for (const Bytes& w : line.master().writes())
            sizes.push_back(w.size());
        EXPECT_EQ(sizes, c.writeSizes) << "length " << c.length;

        Bytes store(PACKET_SIZE);
        PacketBuffer received(store.data(), PACKET_SIZE);
        PacketPort slave(line.slave(), PortRole::Slave);
        EXPECT_EQ(slave.receiveFrame(&received).outcome, FRAME_DATA);
        EXPECT_EQ(Bytes(store.begin(), store.begin() + received.size()), data);
    }
}

TEST(Frame, ReceiveStateTable) {
    const struct {
        const char* what;
        Bytes wire;
        size_t capacity;
        bool completed;
        int outcome;
        Bytes packet;
    } cases[] = {
        {"ack 3 at sequence 0", kAck3, 16, true, RX_BAD_SEQUENCE, {}},
        {"data 1 at sequence 0", kData1Eot, 16, true, RX_BAD_SEQUENCE, {0x04}},
        {"noise before the frame",
         concat({{0x00, 0x03, 0x10, 0x10, 0x55}, kDataId}),
         16,
         true,
         FRAME_DATA,
         {'i', 'd'}},
        {"check bytes holding DLE",
         {0x10, 0x02, 0x00, 0x95, 0x10, 0x03, 0x10, 0xEB},
         16,
         true,
         FRAME_DATA,
         {0x95}},
        {"type bit 4 ignored", frameWith(0x13), 16, true, FRAME_CONNECT, {}},
        {"type bit 7 ignored", frameWith(0x87), 16, true, FRAME_LINK_ACK, {}},
        {"bits 4 and 7 on data", frameWith(0x90, {7}), 16, true, FRAME_DATA, {7}},
        {"unknown type", frameWith(0x05), 16, true, RX_UNKNOWN_TYPE, {}},
        {"bad check",
         concat({Bytes(kDataId.begin(), kDataId.end() - 1), {0x6F}}),
         16,
         true,
         RX_BAD_CRC,
         {'i', 'd'}},
        {"bad check wins over unknown type",
         {0x10, 0x02, 0x05, 0x10, 0x03, 0x00, 0x00},
         16,
         true,
         RX_BAD_CRC,
         {}},
        {"exactly at capacity", frameWith(0x00, {1, 2, 3, 4}), 4, true, FRAME_DATA, {1, 2, 3, 4}},
        {"one past capacity", frameWith(0x00, {1, 2, 3, 4, 5}), 4, true, RX_OVERFLOW, {1, 2, 3, 4}},
        {"doubled DLE past capacity", frameWith(0x00, {1, 0x10, 0x10}), 1, true, RX_OVERFLOW, {1}},
        {"restart inside a frame",
         concat({{0x10, 0x02, 0x00, 0x41}, kDataId}),
         16,
         true,
         RX_BAD_CRC,
         {'i', 'd'}},
        // The register runs on across a framing error within one call.
        {"framing error then a frame",
         concat({{0x10, 0x02, 0x00, 0x41, 0x10, 0x55}, kAck0}),
         16,
         true,
         RX_BAD_CRC,
         {}},
        {"frame cut short", Bytes(kDataId.begin(), kDataId.end() - 2), 16, false, 0, {}},
        {"nothing", {}, 16, false, 0, {}},
    };
    for (const auto& c : cases) {
        DuplexLine line(10);
        PacketPort port(line.master(), PortRole::Master);
        line.master().inject(c.wire);
        Bytes store(c.capacity + 8, 0xEE);
        PacketBuffer packet(store.data(), static_cast<uint16_t>(c.capacity));
        const PacketPort::Received r = port.receiveFrame(&packet);
        EXPECT_EQ(r.completed, c.completed) << c.what;
        if (!c.completed) continue;
        EXPECT_EQ(r.outcome, c.outcome) << c.what;
        EXPECT_EQ(Bytes(store.begin(), store.begin() + packet.size()), c.packet) << c.what;
        EXPECT_EQ(store[c.capacity], 0xEE) << c.what << ": wrote past the capacity";
    }
}

}  // namespace
}  // namespace kvtlnk
