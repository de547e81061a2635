// The instrument's command parser and replies without the line; the replies as they travel
// are checked over the pty in calibrator_test.cpp.
#include "instrument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_order.h"

namespace k27emu {
namespace {

std::string statusOf(Instrument& k27, const Packet& command) {
    const Reply r = k27.answer(command.data(), command.size());
    EXPECT_EQ(r.packets.size() == 1, !r.accepted) << "a refusal is its status packet only";
    return std::string(r.packets.front().begin(), r.packets.front().end());
}

Packet block(uint32_t index, uint32_t offset, size_t n) {
    Packet p(13 + n, 0x10);
    p[0] = 'm', p[1] = 'b', p[2] = 'p';
    kvtlnk::storeU16(p.data() + 3, static_cast<uint16_t>(n));
    kvtlnk::storeU32(p.data() + 5, index);
    kvtlnk::storeU32(p.data() + 9, offset);
    return p;
}

TEST(EmulatorInstrument, MalformedCommandsAndOutOfBoundsBlocksAreRefused) {
    Instrument k27;
    ASSERT_EQ(statusOf(k27, toPacket("ma p,6,0,20")), "0");
    struct Case {
        Packet command;
        const char* status;
    };
    const std::vector<Case> cases = {
        {toPacket(""), "1"},
        {toPacket("id "), "1"},
        {toPacket("ID"), "1"},
        {toPacket("sf linked"), "1"},
        {toPacket("mc x"), "1"},
        {toPacket("ma p,6,0"), "1"},
        {toPacket("ma p,6,0,0"), "1"},
        {toPacket("ma p,6,0,64977"), "1"},
        {toPacket("ma p,65536,0,1"), "1"},
        {toPacket("ma p,6,65536,1"), "1"},
        {toPacket("ma p,6,0,1,2"), "1"},
        {toPacket("ma p,-6,0,1"), "1"},
        {toPacket("ma p, 6,0,1"), "1"},
        {toPacket("ma r,6,0,1"), "1"},
        {toPacket("mu x,0"), "1"},
        {toPacket("mu p,"), "1"},
        {toPacket("mu p,-1"), "1"},
        {toPacket("mu p,1"), "3"},
        {toPacket("mu r,0"), "3"},
        {block(0, 0, 20), "0"},
        {block(0, 19, 1), "0"},
        {block(0, 20, 1), "3"},
        {block(0, 10, 11), "3"},
        {block(0, 0xFFFFFFFF, 1), "3"},
        {block(1, 0, 1), "3"},
        {block(0x80000000u, 0, 1), "3"},
        {block(0, 0, 0), "1"},
        {Packet{'m', 'b', 'p', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "1"},  // a byte short
        {Packet{'m', 'b', 'p', 0, 1, 0, 0}, "1"},                       // header cut off
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusOf(k27, c.command), c.status)
            << describeCommand(c.command.data(), c.command.size());
    }
    EXPECT_EQ(k27.memory(Memory::Procedure).item(0)->data, Packet(20, 0x10));
    EXPECT_EQ(k27.commandLog().size(), cases.size() + 1);
}

TEST(EmulatorInstrument, IdentityAndStatusTextsKeepTheirCommas) {
    Instrument k27(Identity{"ORVAN K27", "V1.1", "A,B"});
    const Reply id = k27.answer(toPacket("id").data(), 2);
    EXPECT_EQ(id.lines(), std::vector<std::string>{"ORVAN K27,V1.1,A|B"});
    for (const char* text : {"sf link,a|b", "sf link"}) {
        k27.answer(toPacket(text).data(), std::string(text).size());
    }
    EXPECT_EQ(k27.statusTexts(), (std::vector<std::string>{"a,b", ""}));
}

TEST(EmulatorInstrument, OnlyTheResultsClearAfterADownloadStartEndsADownload) {
    Instrument k27;
    const char* commands[] = {"mc r", "ds", "mc p", "mc r", "mc r"};
    const bool ends[] = {false, false, false, true, false};
    for (size_t i = 0; i < std::size(commands); ++i) {
        const Packet c = toPacket(commands[i]);
        EXPECT_EQ(k27.answer(c.data(), c.size()).endsDownload, ends[i]) << i;
    }
}

}  // namespace
}  // namespace k27emu
