// Check value, frame encoding and the receive state machine, against frames as the calibrator
// sends them. Every answer is on the line before it is read, so short time-outs do no harm.
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

PacketBuffer filled(Bytes& b) {
    return PacketBuffer(b.data(), static_cast<uint16_t>(b.size()), static_cast<uint16_t>(b.size()));
}

// Each frame as it crosses the wire, sent by a fresh port and decoded by the other end.
TEST(Frame, EveryFrameBothWays) {
    const struct {
        PortRole sender;
        FrameKind kind;
        Bytes packet, wire;
    } cases[] = {
        // clang-format off
        {PortRole::Master, FrameKind::FRAME_CONNECT, {}, kConnect},
        {PortRole::Slave, FrameKind::FRAME_LINK_ACK, {}, kLinkAck},
        {PortRole::Master, FrameKind::FRAME_DISCONNECT, {}, {0x10, 0x02, 0x0B, 0x10, 0x03, 0x60, 0x48}},
        {PortRole::Slave, FrameKind::FRAME_ACK, {}, kAck0},
        {PortRole::Master, FrameKind::FRAME_DATA, {'i', 'd'}, kDataId},
        {PortRole::Master, FrameKind::FRAME_DATA, {0x10}, {0x10, 0x02, 0x00, 0x10, 0x10, 0x10, 0x03, 0x49, 0x2E}},
        // clang-format on
    };
    for (auto c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        DuplexLine line(20);
        const bool master = c.sender == PortRole::Master;
        DuplexLine::End& from = master ? line.master() : line.slave();
        PacketPort sender(from, c.sender);
        PacketPort receiver(master ? line.slave() : line.master(),
                            master ? PortRole::Slave : PortRole::Master);
        PacketBuffer out = filled(c.packet);
        sender.sendFrame(c.kind, c.packet.empty() ? nullptr : &out);
        EXPECT_EQ(from.writes(), std::vector<Bytes>{c.wire});

        Bytes store(16);
        PacketBuffer in(store.data(), 16);
        const PacketPort::Received r = receiver.receiveFrame(&in);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.outcome, outcomeOf(c.kind));
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
    slave.sendFrame(FrameKind::FRAME_ACK, nullptr);
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
    Bytes id = {'i', 'd'}, eot = {0x04};
    PacketBuffer idPacket = filled(id), eotPacket = filled(eot);
    ASSERT_TRUE(master.send(idPacket));
    master.sendFrame(FrameKind::FRAME_DATA, &eotPacket);
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
        PacketBuffer packet = filled(data);
        ASSERT_TRUE(port.sendFrame(FrameKind::FRAME_DATA, &packet));
        std::vector<size_t> sizes;
        for (const Bytes& w : line.master().writes())
            sizes.push_back(w.size());
        EXPECT_EQ(sizes, c.writeSizes) << "length " << c.length;

        Bytes store(PACKET_SIZE);
        PacketBuffer received(store.data(), PACKET_SIZE);
        PacketPort slave(line.slave(), PortRole::Slave);
        EXPECT_EQ(slave.receiveFrame(&received).outcome, RxOutcome::FRAME_DATA);
        EXPECT_EQ(Bytes(store.begin(), store.begin() + received.size()), data);
    }
}

TEST(Frame, ReceiveStateTable) {
    using O = RxOutcome;
    Bytes restarts;
    for (int i = 0; i < 20; ++i)
        restarts = concat({restarts, {0x10, 0x02, 0x00, 0x41}});
    const Bytes cutAck = Bytes(kAck0.begin(), kAck0.end() - 4);  // 10 02 01, its tail lost
    // A frame of 16 data bytes that breaks off: 19 of the 78 bytes from its start.
    const Bytes cutFull = concat({{0x10, 0x02, 0x00}, Bytes(16, 'x'), {0x10, 0x55}});
    const struct {
        const char* what;
        Bytes wire;
        size_t capacity;
        bool completed;
        O outcome;
        Bytes packet;
    } cases[] = {
        // clang-format off
        {"ack 3 at sequence 0", kAck3, 16, true, O::RX_BAD_SEQUENCE, {}},
        {"data 1 at sequence 0", kData1Eot, 16, true, O::RX_BAD_SEQUENCE, {0x04}},
        {"noise before the frame", concat({{0x00, 0x03, 0x10, 0x10, 0x55}, kDataId}), 16, true, O::FRAME_DATA, {'i', 'd'}},
        {"check bytes holding DLE", {0x10, 0x02, 0x00, 0x95, 0x10, 0x03, 0x10, 0xEB}, 16, true, O::FRAME_DATA, {0x95}},
        {"type bit 4 ignored", frameWith(0x13), 16, true, O::FRAME_CONNECT, {}},
        {"type bit 7 ignored", frameWith(0x87), 16, true, O::FRAME_LINK_ACK, {}},
        {"bits 4 and 7 on data", frameWith(0x90, {7}), 16, true, O::FRAME_DATA, {7}},
        {"unknown type", frameWith(0x05), 16, true, O::RX_UNKNOWN_TYPE, {}},
        {"bad check", concat({Bytes(kDataId.begin(), kDataId.end() - 1), {0x6F}}), 16, true, O::RX_BAD_CRC, {'i', 'd'}},
        {"bad check wins over unknown type", {0x10, 0x02, 0x05, 0x10, 0x03, 0x00, 0x00}, 16, true, O::RX_BAD_CRC, {}},
        {"exactly at capacity", frameWith(0x00, {1, 2, 3, 4}), 4, true, O::FRAME_DATA, {1, 2, 3, 4}},
        {"one past capacity", frameWith(0x00, {1, 2, 3, 4, 5}), 4, true, O::RX_OVERFLOW, {1, 2, 3, 4}},
        {"doubled DLE past capacity", frameWith(0x00, {1, 0x10, 0x10}), 1, true, O::RX_OVERFLOW, {1}},
        // A frame whose tail was lost on the line costs only itself: the next frame start
        // begins the check afresh.
        {"tail lost, then a frame", concat({{0x10, 0x02, 0x00, 0x41}, kDataId}), 16, true, O::FRAME_DATA, {'i', 'd'}},
        {"framing error, then a frame", concat({{0x10, 0x02, 0x00, 0x41, 0x10, 0x55}, kAck0}), 16, true, O::FRAME_ACK, {}},
        {"acknowledgement cut short, then one whole", concat({cutAck, kAck0}), 16, true, O::FRAME_ACK, {}},
        {"frame cut short", Bytes(kDataId.begin(), kDataId.end() - 2), 16, false, O::FRAME_DATA, {}},
        // 2 x 16 + 8 bytes up to the first frame's DLE STX, and twice that from there on.
        {"noise within the budget", concat({Bytes(38, 'A'), kDataId}), 16, true, O::FRAME_DATA, {'i', 'd'}},
        {"noise past the budget", concat({Bytes(39, 'A'), kAck0}), 16, false, O::FRAME_DATA, {}},
        {"a cut frame and noise within the budget, then a frame", concat({cutFull, Bytes(50, 'A'), kDataId}), 16, true, O::FRAME_DATA, {'i', 'd'}},
        {"a cut frame and noise past the budget, then a frame", concat({cutFull, Bytes(51, 'A'), kDataId}), 16, false, O::FRAME_DATA, {}},
        {"restarts past the budget", concat({restarts, kAck0}), 16, false, O::FRAME_DATA, {}},
        {"nothing", {}, 16, false, O::FRAME_DATA, {}},
        // clang-format on
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
