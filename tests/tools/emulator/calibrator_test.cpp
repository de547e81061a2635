// The emulator against the library's own master end of the packet link, over the pty.
#include "calibrator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "propkt/link.h"
#include "setup_builder.h"
#include "wire_line.h"

namespace k27emu {
namespace {

using kvtlnk::linkClose;
using kvtlnk::linkConnect;
using kvtlnk::linkOpen;
using kvtlnk::pkt_receive;
using kvtlnk::pkt_send;

constexpr uint32_t kMasterTimeoutMs = 100;
const Packet kEot{0x04};

struct Exchange {
    uint32_t sent = 0;            // pkt_send's result
    std::vector<Packet> packets;  // as received, up to the final 0x04
    bool receiveFailed = false;   // a packet did not come
};

// Sends a command and takes its reply: the status packet, and after a "0" every packet up to
// the final 0x04.
Exchange exchange(const Packet& command) {
    Exchange e;
    e.sent = pkt_send(command.data(), static_cast<uint16_t>(command.size()));
    if (e.sent != 0) return e;
    for (;;) {
        uint8_t buffer[kvtlnk::PACKET_SIZE];
        const uint32_t n = pkt_receive(buffer, sizeof buffer);
        if (n == kvtlnk::PKT_RECEIVE_FAILED) {
            e.receiveFailed = true;
            return e;
        }
        e.packets.emplace_back(buffer, buffer + n);
        if (e.packets.back() == kEot || e.packets.front() != toPacket("0")) return e;
    }
}

Exchange exchange(const std::string& command) {
    return exchange(toPacket(command));
}

std::vector<Packet> reply(std::initializer_list<std::string> lines) {
    std::vector<Packet> p{toPacket("0")};
    for (const std::string& l : lines)
        p.push_back(toPacket(l));
    p.push_back(kEot);
    return p;
}

Packet block(uint32_t index, uint32_t offset, const uint8_t* data, uint16_t n) {
    Packet p(13 + n);
    p[0] = 'm', p[1] = 'b', p[2] = 'p';
    kvtlnk::storeU16(p.data() + 3, n);
    kvtlnk::storeU32(p.data() + 5, index);
    kvtlnk::storeU32(p.data() + 9, offset);
    std::copy(data, data + n, p.begin() + 13);
    return p;
}

// Sends an item as the library's download does: "ma p,..." and blocks of 115 bytes.
void download(const EmuRecord& r, int index) {
    const Exchange added =
        exchange("ma p," + std::to_string(r.kind) + "," + std::to_string(r.version) + "," +
                 std::to_string(r.data.size()));
    ASSERT_EQ(added.packets, reply({std::to_string(index)}));
    for (size_t at = 0; at < r.data.size(); at += 115) {
        const auto n = static_cast<uint16_t>(std::min<size_t>(115, r.data.size() - at));
        ASSERT_EQ(exchange(block(index, at, r.data.data() + at, n)).packets, reply({})) << at;
    }
}

DateStamp testStamp() {
    return DateStamp{5, 30, 12, 1, 15, 6, 6};  // Monday 15 June 1998, 12:30:05
}

class EmulatorOverTheWire : public ::testing::Test {
  protected:
    void SetUp() override { open(CalibratorOptions{}); }
    void TearDown() override {
        linkClose();
        emu->stop();
    }

    void open(CalibratorOptions options) {
        options.readTimeoutMs = 100;
        options.clock = testStamp();
        emu = std::make_unique<Calibrator>(options);
        ASSERT_TRUE(emu->start());
        kvtlnk::theSerialPort().setReadTimeout(kMasterTimeoutMs);
        ASSERT_EQ(linkOpen(9600, emu->portPath().c_str(), kvtlnk::PortRole::Master),
                  kvtlnk::LINK_OPENED);
        kvtlnk::linkSetAttempts(5);
        ASSERT_TRUE(linkConnect());
    }

    std::unique_ptr<Calibrator> emu;
};

TEST_F(EmulatorOverTheWire, EveryCommandIsAnswered) {
    const uint8_t data[3] = {0x10, 0x04, 0x2C};
    struct Case {
        Packet command;
        std::vector<Packet> expected;
    };
    const std::vector<Case> cases = {
        {toPacket("sf link,Identifying K27"), reply({})},
        {toPacket("id"), reply({"ORVAN K27,V1.2.0,SN270001"})},
        {toPacket("ed"), reply({"K27,SN270001,HW3,B1.00,EN,2024-01-15,100,12,1048576"})},
        {toPacket("ds"), reply({})},
        {toPacket("mc p"), reply({})},
        {toPacket("ma p,14,0,3"), reply({"0"})},
        {block(0, 0, data, 3), reply({})},
        {block(0, 1, data, 3), {toPacket("3")}},
        {toPacket("ms"),
         reply({"p,procedure,28,1048548,1048576,1", "r,results,0,1048576,1048576,0"})},
        {toPacket("md p"), reply({"0,14,0,3,1998,6,15,1,12,30,5"})},
        {toPacket("md r"), reply({})},
        {toPacket("mu p,0"), {toPacket("0"), toPacket("3"), Packet(data, data + 3), kEot}},
        {toPacket("mu r,0"), {toPacket("3")}},
        {toPacket("mc r"), reply({})},
        {toPacket("sf link"), reply({})},
        // Malformed commands are refused with "1", blocks outside their item with "3".
        {toPacket("zz"), {toPacket("1")}},
        {toPacket("id "), {toPacket("1")}},
        {toPacket("ID"), {toPacket("1")}},
        {toPacket("sf linked"), {toPacket("1")}},
        {toPacket("mc x"), {toPacket("1")}},
        {toPacket("ma p,6,0"), {toPacket("1")}},
        {toPacket("ma p,6,0,0"), {toPacket("1")}},
        {toPacket("ma p,6,0,64977"), {toPacket("1")}},
        {toPacket("ma p,65536,0,1"), {toPacket("1")}},
        {toPacket("ma p,6,65536,1"), {toPacket("1")}},
        {toPacket("ma p,6,0,1,2"), {toPacket("1")}},
        {toPacket("ma p,-6,0,1"), {toPacket("1")}},
        {toPacket("ma p, 6,0,1"), {toPacket("1")}},
        {toPacket("ma r,6,0,1"), {toPacket("1")}},
        {toPacket("mu x,0"), {toPacket("1")}},
        {toPacket("mu p,"), {toPacket("1")}},
        {toPacket("mu p,-1"), {toPacket("1")}},
        {toPacket("mu p,1"), {toPacket("3")}},
        {block(0, 2, data, 1), reply({})},
        {block(0, 3, data, 1), {toPacket("3")}},
        {block(0, 0xFFFFFFFF, data, 1), {toPacket("3")}},
        {block(1, 0, data, 1), {toPacket("3")}},
        {block(0x80000000u, 0, data, 1), {toPacket("3")}},
        {block(0, 0, data, 0), {toPacket("1")}},
        {Packet{'m', 'b', 'p', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {toPacket("1")}},  // a byte short
        {Packet{'m', 'b', 'p', 0, 1, 0, 0}, {toPacket("1")}},  // header cut off
    };
    for (const Case& c : cases) {
        const std::string text = describeCommand(c.command.data(), c.command.size());
        const Exchange e = exchange(c.command);
        ASSERT_EQ(e.sent, 0u) << text;
        EXPECT_FALSE(e.receiveFailed) << text;
        EXPECT_EQ(e.packets, c.expected) << text;
    }
    EXPECT_EQ(emu->statusTexts(), (std::vector<std::string>{"Identifying K27", ""}));
    EXPECT_EQ(emu->commands().size(), cases.size());
    EXPECT_EQ(emu->commands()[6], "mbp 3,0,0");
    EXPECT_EQ(emu->memory(Memory::Procedure).at(0).data, (Packet{0x10, 0x04, 0x10}));
}

TEST_F(EmulatorOverTheWire, ItemsRoundTripByteForByte) {
    EmuRecord r;
    r.kind = 6;
    r.stamp = testStamp();
    for (int i = 0; i < 700; ++i)
        r.data.push_back(static_cast<uint8_t>(i * 37 + 0x10));
    ASSERT_EQ(exchange("mc p").packets, reply({}));
    download(r, 0);
    EXPECT_EQ(emu->memory(Memory::Procedure), std::vector<EmuRecord>{r});

    const Exchange up = exchange("mu p,0");
    ASSERT_EQ(up.packets.size(), 6u);  // "0", the count, 256 + 256 + 188 bytes, 0x04
    EXPECT_EQ(up.packets[1], toPacket("700"));
    Packet joined;
    for (size_t i = 2; i < 5; ++i)
        joined.insert(joined.end(), up.packets[i].begin(), up.packets[i].end());
    EXPECT_EQ(joined, r.data);
}

TEST_F(EmulatorOverTheWire, AnItemThatDoesNotFitIsRefused) {
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(exchange("ma p,6,0,64976").packets, reply({std::to_string(i)}));
    EXPECT_EQ(exchange("ma p,6,0,8553").packets, std::vector<Packet>{toPacket("2")});
    EXPECT_EQ(exchange("ma p,6,0,8551").packets, reply({"16"}));
    EXPECT_EQ(exchange("ms").packets,
              reply({"p,procedure,1048576,0,1048576,17", "r,results,0,1048576,1048576,0"}));
}

TEST_F(EmulatorOverTheWire, ADownloadIsFollowedByAFieldRunWhenAsked) {
    TearDown();
    CalibratorOptions options;
    options.runAfterDownload = true;
    open(options);
    testing::SetupSpec loop;
    loop.inFunction = 1, loop.inUnits = 2, loop.inRange = 5, loop.inLow = 0.004f,
    loop.inHigh = 0.02f;
    loop.outFunction = 2, loop.outUnits = 1, loop.outRange = 8, loop.outLow = 1, loop.outHigh = 5;
    const std::vector<EmuRecord> procedure = {testing::strategyRecord({0, 0.5, 1}, "3"),
                                              testing::setupRecord(loop),
                                              testing::templateRecord(0, 1, 0, "FT-1", "Flow")};
    for (const char* c : {"ds", "mc p"})
        ASSERT_EQ(exchange(c).packets, reply({}));
    for (size_t i = 0; i < procedure.size(); ++i)
        download(procedure[i], static_cast<int>(i));
    EXPECT_TRUE(emu->memory(Memory::Results).empty());
    ASSERT_EQ(exchange("mc r").packets, reply({}));

    // The run itself is checked in procedure_run_test.cpp: here, that it happened.
    EXPECT_EQ(exchange("md r").packets,
              reply({"0,7,0,78,1998,6,15,1,12,30,5", "1,15,0,19,1998,6,15,1,12,30,5"}));
}

TEST_F(EmulatorOverTheWire, TheLinkCanBeClosedAndOpenedAgainManyTimes) {
    for (int i = 0; i < 20; ++i) {
        linkClose();
        ASSERT_EQ(linkOpen(9600, emu->portPath().c_str(), kvtlnk::PortRole::Master),
                  kvtlnk::LINK_OPENED)
            << i;
        ASSERT_TRUE(linkConnect()) << i;
        ASSERT_EQ(exchange("id").packets, reply({"ORVAN K27,V1.2.0,SN270001"})) << i;
    }
}

TEST_F(EmulatorOverTheWire, StopEndsAnExchangeInProgressAndStartServesAgain) {
    ASSERT_EQ(pkt_send(reinterpret_cast<const uint8_t*>("id"), 2), 0u);
    // The emulator now waits for the acknowledgement of its status packet, which the master
    // does not send.
    const auto before = std::chrono::steady_clock::now();
    emu->stop();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_FALSE(emu->running());
    // Its exchange would take its attempts times its time-out (5 x 100 ms) to give up.
    EXPECT_LT(took, std::chrono::milliseconds(450));  // still short of giving up

    EXPECT_NE(pkt_send(reinterpret_cast<const uint8_t*>("id"), 2), 0u);
    ASSERT_TRUE(emu->start());
    ASSERT_TRUE(linkConnect());
    EXPECT_EQ(exchange("id").packets, reply({"ORVAN K27,V1.2.0,SN270001"}));
}

TEST_F(EmulatorOverTheWire, EveryScriptedFaultShowsOnTheWire) {
    struct Case {
        const char* what;
        void (*arm)(FaultScript&);
        const char* command;
        Exchange expected;
        int performed = 1;  // times the command reached the instrument; -1: not checked
    };
    const Packet idLine = toPacket("ORVAN K27,V1.2.0,SN270001");
    const std::vector<Case> cases = {
        {"one corrupt frame is sent again",
         [](FaultScript& f) { f.corruptFrame(1); },
         "id",
         {0, reply({"ORVAN K27,V1.2.0,SN270001"}), false}},
        {"one dropped frame is sent again",
         [](FaultScript& f) { f.dropFrame(2); },
         "id",
         {0, reply({"ORVAN K27,V1.2.0,SN270001"}), false}},
        {"every frame corrupt", [](FaultScript& f) { f.corruptFrame(1, 1); }, "id", {0, {}, true}},
        {"every frame dropped", [](FaultScript& f) { f.dropFrame(1, 1); }, "id", {0, {}, true}},
        // The command is sent again and, as on the instrument, performed again.
        {"a dropped acknowledgement",
         [](FaultScript& f) { f.dropFrame(1, 0, FrameFilter::All); },
         "id",
         {0, reply({"ORVAN K27,V1.2.0,SN270001"}), false},
         2},
        {"a wrong sequence number",
         [](FaultScript& f) { f.wrongSequence(2); },
         "id",
         {0, {toPacket("0")}, true}},
        {"silence", [](FaultScript& f) { f.goSilent(); }, "id", {4, {}, false}, 0},
        {"bytes slower than the time-out",
         [](FaultScript& f) { f.delayEachByte(std::chrono::milliseconds(150)); },
         "id",
         {4, {}, false},
         -1},
        {"a refused command",
         [](FaultScript& f) { f.refuse("id", "E"); },
         "id",
         {0, {toPacket("E")}, false}},
        {"an extra line",
         [](FaultScript& f) { f.extraLine("id", "more"); },
         "id",
         {0, reply({"ORVAN K27,V1.2.0,SN270001", "more"}), false}},
        {"a line instead of 0x04",
         [](FaultScript& f) { f.lineInsteadOfEnd("id", "x"); },
         "id",
         {0, {toPacket("0"), idLine, toPacket("x")}, true}},
        {"a short line",
         [](FaultScript& f) { f.replaceLines("id", {"ORVAN K27,V1.2.0"}); },
         "id",
         {0, reply({"ORVAN K27,V1.2.0"}), false}},
        {"more upload bytes than the item holds",
         [](FaultScript& f) { f.inflateUpload(2); },
         "mu p,0",
         {0, {toPacket("0"), toPacket("5"), Packet{1, 2, 3}, Packet{0, 0}, kEot}, false}},
    };
    EmuRecord item;
    item.data = {1, 2, 3};
    for (const Case& c : cases) {
        TearDown();
        open(CalibratorOptions{});
        emu->replaceMemory(Memory::Procedure, {item});
        c.arm(emu->faults());
        const Exchange e = exchange(c.command);
        EXPECT_EQ(e.sent, c.expected.sent) << c.what;
        EXPECT_EQ(e.packets, c.expected.packets) << c.what;
        EXPECT_EQ(e.receiveFailed, c.expected.receiveFailed) << c.what;
        if (c.performed >= 0) {
            EXPECT_EQ(emu->commands(), std::vector<std::string>(c.performed, c.command)) << c.what;
        }
        if (std::string(c.what).find("again") != std::string::npos) {
            EXPECT_EQ(emu->faults().framesFaulted(), 1u) << c.what;
        }
        emu->faults().clear();
    }
}

TEST(EmulatorWrongSequence, TheFrameIsRenumberedWithAMatchingCheckValue) {
    // An acknowledgement with sequence 0, renumbered three times, is the one with sequence 3.
    std::vector<uint8_t> ack = {0x10, 0x02, 0x01, 0x10, 0x03, 0x1A, 0x3B};
    for (int i = 0; i < 3; ++i)
        bumpSequence(&ack);
    EXPECT_EQ(ack, (std::vector<uint8_t>{0x10, 0x02, 0x61, 0x10, 0x03, 0x57, 0x3E}));
    // A data frame with sequence 3 goes round to 0: "id" with sequence 0.
    std::vector<uint8_t> id = {0x10, 0x02, 0x60, 0x69, 0x64, 0x10, 0x03, 0x00, 0x00};
    bumpSequence(&id);
    EXPECT_EQ(id, (std::vector<uint8_t>{0x10, 0x02, 0x00, 0x69, 0x64, 0x10, 0x03, 0xD6, 0x6E}));
}

}  // namespace
}  // namespace k27emu
