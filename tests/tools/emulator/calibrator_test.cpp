// The emulator against the library's own master end of the packet link, over the pty.
//
// Time: the master waits the library's default time-out and the emulator repeats a frame only
// after a second, so that neither end gives up on a stalled thread of the other; short waits
// only where nothing is meant to arrive.
#include "calibrator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "propkt/link.h"
#include "setup_builder.h"

namespace k27emu {
namespace {

using kvtlnk::PacketPort;

constexpr uint32_t kMasterTimeoutMs = 500;
const Packet kEot{0x04};

struct Exchange {
    uint32_t sent = 0;            // pkt_send's outcome: 0 acknowledged, 4 failed
    std::vector<Packet> packets;  // as received, up to the final 0x04
    bool receiveFailed = false;   // a packet did not come

    bool operator==(const Exchange& o) const {
        return sent == o.sent && packets == o.packets && receiveFailed == o.receiveFailed;
    }
};

// Sends a command and takes its reply: the status packet, and after a "0" every packet up to
// the final 0x04.
Exchange exchange(PacketPort& port, const Packet& command) {
    Exchange e;
    e.sent = static_cast<uint32_t>(
        kvtlnk::pkt_send(port, command.data(), static_cast<uint16_t>(command.size())));
    while (e.sent == 0) {
        uint8_t buffer[kvtlnk::PACKET_SIZE];
        const kvtlnk::PktReceived got = kvtlnk::pkt_receive(port, buffer, sizeof buffer);
        if (!got.arrived()) {
            e.receiveFailed = true;
            break;
        }
        e.packets.emplace_back(buffer, buffer + got.size);
        if (e.packets.back() == kEot || e.packets.front() != toPacket("0")) break;
    }
    return e;
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
    kvttools::storeU16(p.data() + 3, n);
    kvttools::storeU32(p.data() + 5, index);
    kvttools::storeU32(p.data() + 9, offset);
    std::copy(data, data + n, p.begin() + 13);
    return p;
}

const DateStamp kStamp{5, 30, 12, 1, 15, 6, 6};  // Monday 15 June 1998, 12:30:05

class EmulatorOverTheWire : public ::testing::Test {
  protected:
    void SetUp() override { open(CalibratorOptions{}); }
    void TearDown() override {
        link.close();
        emu->stop();
    }

    void open(CalibratorOptions options, uint8_t attempts = 5) {
        options.readTimeoutMs = 1000;
        options.clock = kStamp;
        emu = std::make_unique<Calibrator>(options);
        ASSERT_TRUE(emu->start());
        serial.setReadTimeout(kMasterTimeoutMs);
        connect(attempts);
    }
    void connect(uint8_t attempts = 5) {
        ASSERT_EQ(link.open(9600, emu->portPath().c_str(), kvtlnk::PortRole::Master),
                  kvtlnk::LinkOpen::Opened);
        link.port()->setAttempts(attempts);
        ASSERT_TRUE(kvtlnk::linkConnect(*link.port()));
    }
    Exchange exchange(const Packet& command) { return k27emu::exchange(*link.port(), command); }
    Exchange exchange(const std::string& command) { return exchange(toPacket(command)); }

    kvtlnk::SerialPort serial;
    kvtlnk::Link link{serial};
    std::unique_ptr<Calibrator> emu;
};

TEST_F(EmulatorOverTheWire, EveryCommandIsAnswered) {
    const uint8_t data[3] = {0x10, 0x04, 0x2C};
    const Packet refused = toPacket("1"), noItem = toPacket("3");
    struct Case {
        Packet command;
        std::vector<Packet> expected;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {toPacket("sf link,Identifying K27"), reply({})},
        {toPacket("id"), reply({"ORVAN K27,V1.2.0,SN270001"})},
        {toPacket("ed"), reply({"K27,SN270001,HW3,B1.00,EN,2024-01-15,100,12,1048576"})},
        {toPacket("ds"), reply({})},
        {toPacket("mc p"), reply({})},
        {toPacket("ma p,14,0,3"), reply({"0"})},
        {block(0, 0, data, 3), reply({})},
        {block(0, 1, data, 3), {noItem}},
        {toPacket("ms"), reply({"p,procedure,28,1048548,1048576,1", "r,results,0,1048576,1048576,0"})},
        {toPacket("md p"), reply({"0,14,0,3,1998,6,15,1,12,30,5"})},
        {toPacket("md r"), reply({})},
        {toPacket("mu p,0"), {toPacket("0"), toPacket("3"), Packet(data, data + 3), kEot}},
        {toPacket("mu r,0"), {noItem}},
        {toPacket("mc r"), reply({})},
        {toPacket("sf link"), reply({})},
        // Malformed commands are refused with "1", blocks outside their item with "3".
        {toPacket("zz"), {refused}}, {toPacket("id "), {refused}}, {toPacket("ID"), {refused}},
        {toPacket("sf linked"), {refused}}, {toPacket("mc x"), {refused}},
        {toPacket("ma p,6,0"), {refused}}, {toPacket("ma p,6,0,0"), {refused}},
        {toPacket("ma p,6,0,64977"), {refused}}, {toPacket("ma p,65536,0,1"), {refused}},
        {toPacket("ma p,6,0,1,2"), {refused}}, {toPacket("ma p, 6,0,1"), {refused}},
        {toPacket("ma r,6,0,1"), {refused}}, {toPacket("mu p,-1"), {refused}},
        {toPacket("mu p,1"), {noItem}}, {block(0, 2, data, 1), reply({})},
        {block(0, 3, data, 1), {noItem}},
        {block(0, 0xFFFFFFFF, data, 1), {noItem}}, {block(1, 0, data, 1), {noItem}},
        {block(0, 0, data, 0), {refused}},
        {Packet{'m', 'b', 'p', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {refused}},  // a byte short
        {Packet{'m', 'b', 'p', 0, 1, 0, 0}, {refused}},                       // header cut off
        // clang-format on
    };
    for (const Case& c : cases) {
        const Exchange e = exchange(c.command);
        EXPECT_EQ(e, (Exchange{0, c.expected, false}))
            << describeCommand(c.command.data(), c.command.size());
    }
    EXPECT_EQ(emu->statusTexts(), (std::vector<std::string>{"Identifying K27", ""}));
    EXPECT_EQ(emu->commands().size(), cases.size());
    EXPECT_EQ(emu->commands()[6], "mbp 3,0,0");
    EXPECT_EQ(emu->memory(Memory::Procedure).at(0).data, (Packet{0x10, 0x04, 0x10}));
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
    setup_builder::SetupShape loop;
    loop.inFunction = 1, loop.inUnits = 2, loop.inRange = 5, loop.inLow = 0.004f,
    loop.inHigh = 0.02f;
    loop.outFunction = 2, loop.outUnits = 1, loop.outRange = 8, loop.outLow = 1, loop.outHigh = 5;
    const std::vector<MemoryRecord> procedure = {
        setup_builder::strategyRecord({0, 0.5, 1}, "3"), setup_builder::setupRecord(loop),
        setup_builder::templateRecord(0, 1, 0, "FT-1", "Flow")};
    for (const char* c : {"ds", "mc p"})
        ASSERT_EQ(exchange(c).packets, reply({}));
    for (size_t i = 0; i < procedure.size(); ++i) {
        const MemoryRecord& r = procedure[i];
        ASSERT_EQ(exchange("ma p," + std::to_string(r.kind) + ",0," + std::to_string(r.data.size()))
                      .packets,
                  reply({std::to_string(i)}));
        for (size_t at = 0; at < r.data.size(); at += 115) {
            const auto n = static_cast<uint16_t>(std::min<size_t>(115, r.data.size() - at));
            ASSERT_EQ(exchange(block(i, at, r.data.data() + at, n)).packets, reply({}));
        }
    }
    EXPECT_TRUE(emu->memory(Memory::Results).empty());
    ASSERT_EQ(exchange("mc r").packets, reply({}));

    // The run itself is checked in procedure_run_test.cpp: here, that it happened.
    EXPECT_EQ(exchange("md r").packets,
              reply({"0,7,0,78,1998,6,15,1,12,30,5", "1,15,0,19,1998,6,15,1,12,30,5"}));
}

TEST_F(EmulatorOverTheWire, StopEndsAnExchangeInProgressAndStartServesAgain) {
    PacketPort& port = *link.port();
    const Packet id = toPacket("id");
    ASSERT_EQ(kvtlnk::pkt_send(port, id.data(), 2), kvtlnk::PktOutcome::Done);
    // The status frame is taken and not acknowledged: the emulator waits 5 attempts of a second
    // each for the acknowledgement before it would give up by itself.
    uint8_t status[8];
    kvtlnk::PacketBuffer frame(status, sizeof status);
    ASSERT_TRUE(port.receiveFrame(&frame).completed);
    const auto before = std::chrono::steady_clock::now();
    emu->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(2500));
    EXPECT_FALSE(emu->running());

    // Served again, the port may be closed and opened as often as the program likes.
    ASSERT_TRUE(emu->start());
    for (int i = 0; i < 3; ++i) {
        link.close();
        connect();
        ASSERT_EQ(exchange("id").packets, reply({"ORVAN K27,V1.2.0,SN270001"})) << i;
    }
}

TEST_F(EmulatorOverTheWire, EveryScriptedFaultShowsOnTheWire) {
    struct Case {
        const char* what;
        void (*arm)(FaultScript&);
        const char* command;
        Exchange expected;
        int performed;  // times the command reached the instrument; -1: not checked
        uint32_t faulted;
        uint8_t attempts = 5;  // the master's: enough to outlast one lost frame; 2 for a dead line
    };
    const std::vector<Packet> idReply = reply({"ORVAN K27,V1.2.0,SN270001"});
    using std::chrono::milliseconds;
    // Faults whose effect the library's own tests see only as a result code; the others show
    // there as the codes they cause.
    const std::vector<Case> cases = {
        // clang-format off
        // The command is sent again and, as on the instrument, performed again.
        {"a dropped acknowledgement", [](FaultScript& f) { f.dropFrame(1, 0, FrameFilter::All); }, "id", {0, idReply, false}, 2, 1},
        {"a wrong sequence number", [](FaultScript& f) { f.wrongSequence(2); }, "id", {0, {toPacket("0")}, true}, 1, 1},
        {"bytes slower than the time-out", [](FaultScript& f) { f.delayEachByte(milliseconds(600)); }, "id", {4, {}, false}, -1, 0, 2},
        {"an extra line", [](FaultScript& f) { f.extraLine("id", "more"); }, "id", {0, reply({"ORVAN K27,V1.2.0,SN270001", "more"}), false}, 1, 0},
        // clang-format on
    };
    for (const Case& c : cases) {
        TearDown();
        open(CalibratorOptions{}, c.attempts);
        c.arm(emu->faults());
        EXPECT_EQ(exchange(c.command), c.expected) << c.what;
        if (c.performed >= 0) {
            EXPECT_EQ(emu->commands(), std::vector<std::string>(c.performed, c.command)) << c.what;
        }
        if (c.faulted != 0) {
            EXPECT_EQ(emu->faults().framesFaulted(), c.faulted) << c.what;
        }
        emu->faults().clear();
    }
}

}  // namespace
}  // namespace k27emu
