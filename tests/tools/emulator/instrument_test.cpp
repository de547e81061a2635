#include "instrument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/byte_order.h"

namespace k27emu {
namespace {

Reply ask(Instrument& k27, const std::string& command) {
    return k27.answer(reinterpret_cast<const uint8_t*>(command.data()), command.size());
}

Reply ask(Instrument& k27, const Packet& command) {
    return k27.answer(command.data(), command.size());
}

std::string status(const Reply& r) {
    return std::string(r.packets.front().begin(), r.packets.front().end());
}

Packet block(uint32_t index, uint32_t offset, const std::vector<uint8_t>& data) {
    Packet p = {'m', 'b', 'p', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    kvtlnk::storeU16(p.data() + 3, static_cast<uint16_t>(data.size()));
    kvtlnk::storeU32(p.data() + 5, index);
    kvtlnk::storeU32(p.data() + 9, offset);
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

DateStamp fixedStamp() {
    DateStamp s;
    s.second = 5;
    s.minute = 30;
    s.hour = 12;
    s.weekday = 1;
    s.day = 15;
    s.month = 6;
    s.year = 6;  // 1998
    return s;
}

class EmulatorInstrumentTest : public ::testing::Test {
  protected:
    EmulatorInstrumentTest() {
        k27.setClock([] { return fixedStamp(); });
    }
    Instrument k27;
};

TEST_F(EmulatorInstrumentTest, RepliesOfAnEmptyInstrument) {
    struct Case {
        const char* command;
        const char* status;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"id", "0", {"ORVAN K27,V1.2.0,SN270001"}},
        {"ed", "0", {"K27,SN270001,HW3,B1.00,EN,2024-01-15,100,12,1048576"}},
        {"ms", "0", {"p,procedure,0,1048576,1048576,0", "r,results,0,1048576,1048576,0"}},
        {"ds", "0", {}},
        {"mc p", "0", {}},
        {"mc r", "0", {}},
        {"md p", "0", {}},
        {"md r", "0", {}},
        {"sf link", "0", {}},
        {"sf link,Identifying K27", "0", {}},
        // Unknown or malformed commands.
        {"", "1", {}},
        {"xx", "1", {}},
        {"id ", "1", {}},
        {"ID", "1", {}},
        {"sf", "1", {}},
        {"sf linked", "1", {}},
        {"mc", "1", {}},
        {"mc x", "1", {}},
        {"md", "1", {}},
        {"ma p,6,0", "1", {}},
        {"ma p,6,0,0", "1", {}},
        {"ma p,6,0,64977", "1", {}},
        {"ma p,65536,0,1", "1", {}},
        {"ma p,6,65536,1", "1", {}},
        {"ma p,6,0,1,2", "1", {}},
        {"ma p,-6,0,1", "1", {}},
        {"ma p, 6,0,1", "1", {}},
        {"ma r,6,0,1", "1", {}},
        {"mu p", "1", {}},
        {"mu x,0", "1", {}},
        {"mu p,", "1", {}},
        {"mu p,-1", "1", {}},
        {"mu p,0", "3", {}},
        {"mu r,0", "3", {}},
        {"mbp", "1", {}},
    };
    for (const Case& c : cases) {
        const Reply r = ask(k27, c.command);
        EXPECT_EQ(status(r), c.status) << c.command;
        EXPECT_EQ(r.accepted, std::string(c.status) == "0") << c.command;
        if (r.accepted) {
            EXPECT_EQ(r.packets.back(), Packet{0x04}) << c.command;
            EXPECT_EQ(r.lines(), c.lines) << c.command;
        } else {
            EXPECT_EQ(r.packets.size(), 1u) << c.command << ": a refusal is its status only";
        }
    }
    EXPECT_EQ(k27.commandLog().size(), std::size(cases));
}

TEST_F(EmulatorInstrumentTest, IdentityFieldsAreConfigurableAndCommasTravelAsBars) {
    Instrument other(Identity{"ORVAN K27", "V1.1", "A,B"});
    EXPECT_EQ(ask(other, "id").lines(), std::vector<std::string>{"ORVAN K27,V1.1,A|B"});
}

TEST_F(EmulatorInstrumentTest, ItemsAreAddedWrittenListedAndUploaded) {
    EXPECT_EQ(ask(k27, "ma p,14,0,600").lines(), std::vector<std::string>{"0"});
    EXPECT_EQ(ask(k27, "ma p,5,1,3").lines(), std::vector<std::string>{"1"});
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    for (uint32_t at = 0; at < 600; at += 115) {
        const uint32_t n = std::min<uint32_t>(115, 600 - at);
        const std::vector<uint8_t> part(data.begin() + at, data.begin() + at + n);
        ASSERT_TRUE(ask(k27, block(0, at, part)).accepted) << at;
    }
    EXPECT_EQ(k27.memory(Memory::Procedure).item(0)->data, data);
    EXPECT_EQ(k27.memory(Memory::Procedure).item(1)->data, std::vector<uint8_t>(3, 0));

    EXPECT_EQ(ask(k27, "md p").lines(), (std::vector<std::string>{"0,14,0,600,1998,6,15,1,12,30,5",
                                                                  "1,5,1,3,1998,6,15,1,12,30,5"}));

    // The data goes out in packets of at most 256 bytes after the byte count.
    const Reply up = ask(k27, "mu p,0");
    ASSERT_TRUE(up.accepted);
    ASSERT_EQ(up.packets.size(), 6u);
    EXPECT_EQ(up.packets[1], toPacket("600"));
    std::vector<uint8_t> joined;
    for (size_t i = 2; i < 5; ++i)
        joined.insert(joined.end(), up.packets[i].begin(), up.packets[i].end());
    EXPECT_EQ(up.packets[2].size(), 256u);
    EXPECT_EQ(up.packets[3].size(), 256u);
    EXPECT_EQ(up.packets[4].size(), 88u);
    EXPECT_EQ(joined, data);
}

TEST_F(EmulatorInstrumentTest, BlocksOutsideTheirItemAreRefused) {
    ask(k27, "ma p,6,0,20");
    struct Case {
        Packet command;
        const char* status;
    };
    const std::vector<Case> cases = {
        {block(0, 0, std::vector<uint8_t>(20, 1)), "0"},
        {block(0, 19, {1}), "0"},
        {block(0, 20, {1}), "3"},
        {block(0, 10, std::vector<uint8_t>(11, 1)), "3"},
        {block(0, 0xFFFFFFFF, {1}), "3"},
        {block(1, 0, {1}), "3"},
        {block(0x80000000u, 0, {1}), "3"},
        {block(0, 0, {}), "1"},
        {Packet{'m', 'b', 'p', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "1"},  // one byte short
        {Packet{'m', 'b', 'p', 0, 1, 0, 0}, "1"},                       // header cut off
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(status(ask(k27, cases[i].command)), cases[i].status) << "case " << i;
    }
}

TEST_F(EmulatorInstrumentTest,
       MemoryIsCountedAsTheCalibratorCountsItAndAnItemThatDoesNotFitIsRefused) {
    // 16 items of 64,976 bytes take 16 * 65,000 = 1,040,000 bytes; 8,576 are left.
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(ask(k27, "ma p,6,0,64976").accepted) << i;
    EXPECT_EQ(status(ask(k27, "ma p,6,0,64976")), "2");
    EXPECT_EQ(status(ask(k27, "ma p,6,0,8553")), "2");  // 24 + 8,554
    ASSERT_TRUE(ask(k27, "ma p,6,0,8551").accepted);    // 24 + 8,552: exactly full
    EXPECT_EQ(k27.memory(Memory::Procedure).freeBytes(), 0u);
    EXPECT_EQ(status(ask(k27, "ma p,6,0,1")), "2");
    EXPECT_EQ(ask(k27, "ms").lines(), (std::vector<std::string>{"p,procedure,1048576,0,1048576,17",
                                                                "r,results,0,1048576,1048576,0"}));
    ASSERT_TRUE(ask(k27, "mc p").accepted);
    EXPECT_EQ(k27.memory(Memory::Procedure).usedBytes(), 0u);
    ASSERT_TRUE(ask(k27, "ma p,6,0,5").accepted);
    EXPECT_EQ(k27.memory(Memory::Procedure).usedBytes(), 30u);
}

TEST_F(EmulatorInstrumentTest, StatusTextsAreKeptWithTheirCommasRestored) {
    ask(k27, "sf link,Downloading 3 items to K27 Memory");
    ask(k27, "sf link,a|b");
    ask(k27, "sf link");
    EXPECT_EQ(k27.statusTexts(),
              (std::vector<std::string>{"Downloading 3 items to K27 Memory", "a,b", ""}));
    k27.clearLogs();
    EXPECT_TRUE(k27.statusTexts().empty());
    EXPECT_TRUE(k27.commandLog().empty());
}

TEST_F(EmulatorInstrumentTest, OnlyTheResultsClearAfterADownloadStartEndsADownload) {
    EXPECT_FALSE(ask(k27, "mc r").endsDownload);
    EXPECT_FALSE(ask(k27, "ds").endsDownload);
    EXPECT_FALSE(ask(k27, "mc p").endsDownload);
    EXPECT_TRUE(ask(k27, "mc r").endsDownload);
    EXPECT_FALSE(ask(k27, "mc r").endsDownload);
}

TEST(EmulatorDescribeCommand, BlocksAreShownByTheirHeaderAndOtherBytesAsText) {
    const Packet b = block(3, 230, std::vector<uint8_t>(115, 0x10));
    EXPECT_EQ(describeCommand(b.data(), b.size()), "mbp 115,3,230");
    const Packet odd = {'s', 'f', 0x01, 0xB0};
    EXPECT_EQ(describeCommand(odd.data(), odd.size()), "sf\\x01\\xB0");
}

}  // namespace
}  // namespace k27emu
