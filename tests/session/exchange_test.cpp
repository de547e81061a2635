// The session's exchanges against a calibrator whose every answer the test sets: what the
// library sends, how it reads the replies, and the result codes of odd or broken replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "memory/memory_image.h"
#include "propkt/link.h"
#include "session/command.h"
#include "session/scripted_calibrator.h"

namespace kvtlnk {
namespace {

using Strings = std::vector<std::string>;
using Packets = std::vector<ScriptedCalibrator::Bytes>;

Packets reply(Strings lines = {}) {
    return ScriptedCalibrator::reply(std::move(lines));
}
Packets packets(Strings raw) {
    Packets p;
    for (const std::string& s : raw)
        p.emplace_back(s.begin(), s.end());
    return p;
}

class Exchange : public ::testing::Test {
  protected:
    void SetUp() override {
        cal.answer("id", reply({"ORVAN K27,V1.2.3,A17"}));
        cal.answer("ed", reply({"1,2,3,4,5,6,7,8,4711"}));
        cal.answer("ms", reply({"p,x,100,900,0,3", "r,x,50,950,0,2"}));
        ASSERT_EQ(KVTopen(9600, cal.path().c_str(), 30, 5), KVTLNK_OK);
        cal.clearLog();
    }
    void TearDown() override { KVTclose(); }

    ScriptedCalibrator cal;
};

TEST_F(Exchange, CommandResultAndTries) {
    const struct {
        const char* what;
        Packets answer;
        uint32_t result;
        int sent;
    } cases[] = {
        {"accepted", reply(), KVTLNK_OK, 1},
        {"refused", packets({"1", "\x04"}), KVTLNK_E_REFUSED, 2},
        {"status with text", packets({"0 ok", "\x04"}), KVTLNK_E_REFUSED, 2},
        {"data line for final", packets({"0", "x"}), KVTLNK_E_BAD_REPLY, 2},
        {"final missing: link drops", packets({"0"}), KVTLNK_E_NO_REPLY, 1},
        {"no answer: link drops", Packets{}, KVTLNK_E_NO_REPLY, 1},
    };
    for (const auto& c : cases) {
        cal.answer("xx", c.answer);
        cal.clearLog();
        EXPECT_EQ(sendCommand(theSession(), "xx"), c.result) << c.what;
        EXPECT_EQ(cal.count("xx"), c.sent) << c.what;
    }
    // The next command brings the dropped link up again by itself.
    EXPECT_EQ(sendCommand(theSession(), "mc r"), KVTLNK_OK);
}

TEST_F(Exchange, StatusTextsOnTheWire) {
    EXPECT_EQ(sendStatusText(theSession(), std::string(300, 'x').c_str()), KVTLNK_OK);
    EXPECT_EQ(sendStatusText(theSession(), "1,5 bar\r\nnext"), KVTLNK_OK);
    EXPECT_EQ(KVTclose(), KVTLNK_OK);
    EXPECT_EQ(cal.commands(),
              (Strings{"sf link," + std::string(247, 'x'), "sf link,1|5 bar", "sf link"}));
    EXPECT_EQ(KVTclose(), KVTLNK_OK);  // no session: nothing goes out
    EXPECT_EQ(cal.commands().size(), 3u);
}

TEST_F(Exchange, Identification) {
    const struct {
        const char* what;
        Strings id, ed, ms;
        uint32_t result;
        const char *model, *version, *ident3;
        uint32_t ed9, proc, results;
    } cases[] = {
        {"plain",
         {"ORVAN K27,V1.2.3,A17"},
         {"1,2,3,4,5,6,7,8,4711"},
         {"p,,1,2,3,7", "r,,1,2,3,9"},
         0,
         "ORVAN K27",
         "V1.2.3",
         "A17",
         4711,
         7,
         9},
        {"bars and blanks",
         {" ORVAN K27 , V1|2,\tx"},
         {",,,,,,,,-1"},
         {"a,b,c,d,e,0", "1,2,3,4,5,6"},
         0,
         "ORVAN K27 ",
         "V1,2",
         "x",
         0xFFFFFFFF,
         0,
         6},
        {"id of two fields", {"ORVAN K27,V1.1"}, {}, {}, 2022, "ORVAN K27", "V1.1", "", 0, 0, 0},
        {"ed of eight fields", {"M,V,I"}, {"1,2,3,4,5,6,7,8"}, {}, 2022, "M", "V", "I", 0, 0, 0},
        {"ms line of five fields",
         {"M,V,I"},
         {"1,2,3,4,5,6,7,8,9"},
         {"1,2,3,4,5,6", "1,2,3,4,5"},
         2022,
         "M",
         "V",
         "I",
         9,
         6,
         0},
        {"three ms lines",
         {"M,V,I"},
         {"1,2,3,4,5,6,7,8,9"},
         {"1,2,3,4,5,6", "1,2,3,4,5,6", "x"},
         2022,
         "M",
         "V",
         "I",
         9,
         0,
         0},
    };
    for (const auto& c : cases) {
        cal.answer("id", reply(c.id));
        cal.answer("ed", reply(c.ed));
        cal.answer("ms", reply(c.ms));
        char model[128] = "?", version[128] = "?", ident3[128] = "?";
        uint32_t ed9 = 1, proc = 1, results = 1;
        EXPECT_EQ(KVTgetK2x(model, ident3, version, &ed9, &proc, &results), c.result) << c.what;
        EXPECT_STREQ(model, c.model) << c.what;
        EXPECT_STREQ(version, c.version) << c.what;
        EXPECT_STREQ(ident3, c.ident3) << c.what;
        EXPECT_EQ(ed9, c.ed9) << c.what;
        EXPECT_EQ(proc, c.proc) << c.what;
        EXPECT_EQ(results, c.results) << c.what;
    }
    char t[128];
    uint32_t n;
    cal.clearLog();
    EXPECT_EQ(KVTgetK2x(t, t, t, &n, &n, nullptr), KVTLNK_E_ARGUMENT);
    EXPECT_TRUE(cal.commands().empty());
}

TEST_F(Exchange, MemoryStatisticsSumEveryMemoryLine) {
    cal.answer("ms", reply({"p,x,100,900,0,3", "r,x,50,950,0,2", "q,x,abc,7"}));
    uint32_t field3 = 1, field4 = 1;
    EXPECT_EQ(KVTmemstats(&field3, &field4), KVTLNK_OK);
    EXPECT_EQ(field3, 150u);
    EXPECT_EQ(field4, 1857u);
    EXPECT_EQ(cal.commands(), (Strings{"sf link,Getting Memory Statistics", "ms"}));

    cal.answer("ms", reply({"p,x,100,900", "r,x,50"}));
    EXPECT_EQ(KVTmemstats(&field3, &field4), KVTLNK_E_BAD_REPLY);
    EXPECT_EQ(field3, 150u);
    EXPECT_EQ(field4, 900u);
}

// Directory lines of the calibrator's memories.
std::string dirLine(int index, int kind, int length, int year = 2024) {
    return std::to_string(index) + "," + std::to_string(kind) + ",0," + std::to_string(length) +
           "," + std::to_string(year) + ",7,14,0,9,26,53";
}

TEST_F(Exchange, UploadReadsDirectoriesAndItems) {
    cal.answer("ms", reply({"p,x,1,1,0,3", "r,x,1,1,0,2"}));
    cal.answer("md p", reply({dirLine(0, 14, 4, 1998), dirLine(1, 10, 3), dirLine(2, 11, 2)}));
    cal.answer("md r", reply({"0,15,1,5,2023,12,31,0,23,59,58", dirLine(1, 7, 300)}));
    cal.answer("mu p,0", reply({"4", "ab", "cd"}));
    cal.answer("mu p,1", reply({"2", "xy"}));  // fewer bytes than the directory: rest stays 0
    cal.answer("mu p,2", reply({"0"}));
    cal.answer("mu r,0", reply({"5", std::string("\x10\x04\0\x03", 4) + "!"}));
    cal.answer("mu r,1", reply({"300", std::string(256, 'A'), std::string(44, 'B')}));

    uint32_t count = 0, remaining = 99;
    ASSERT_EQ(KVTuplStart(&count), KVTLNK_OK);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(cal.commands(), (Strings{"ms", "sf link,Uploading K27 Directory", "md p", "md r"}));
    RecordStore& p = theImage().procedure();
    RecordStore& r = theImage().results();
    ASSERT_EQ(p.count(), 3);
    ASSERT_EQ(r.count(), 2);
    const DateStamp s = p.selectRecord(0)->stamp();
    EXPECT_EQ(s.fullYear(), 1998);
    EXPECT_EQ(s.year, 6);
    EXPECT_EQ(r.selectRecord(0)->stamp(), (DateStamp{58, 59, 23, 0, 31, 12, 31}));
    EXPECT_EQ(r.selectRecord(0)->version(), 1);

    cal.clearLog();
    for (int step = 0; step < 5; ++step)
        ASSERT_EQ(KVTuplStep(&remaining), KVTLNK_OK) << step;
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(cal.commands(), (Strings{"sf link,Uploading 5 items from K27 Memory", "mu p,0",
                                       "mu p,1", "mu p,2", "mu r,0", "mu r,1"}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.selectRecord(0)->data()), 4), "abcd");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.selectRecord(1)->data()), 3),
              std::string("xy\0", 3));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.selectRecord(0)->data()), 5),
              std::string("\x10\x04\0\x03!", 5));
    EXPECT_EQ(r.selectRecord(1)->data()[299], 'B');
    EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_E_ARGUMENT);  // past the last item
}

TEST_F(Exchange, UploadFaults) {
    cal.answer("ms", reply({"p,x,1,1,0,2", "r,x,1,1,0,0"}));
    cal.answer("md r", reply());
    const struct {
        const char* what;
        Strings directory;
        Packets item;
        uint32_t startResult, stepResult;
    } cases[] = {
        {"first index 1", {dirLine(1, 10, 3), dirLine(2, 10, 3)}, {}, 2022, 0},
        {"short line", {dirLine(0, 10, 3), "1,10,0,3,2024,7,14,0,9,26"}, {}, 2022, 0},
        {"item without data", {dirLine(0, 10, 3), dirLine(1, 10, 0)}, {}, 2023, 0},
        {"item too big", {dirLine(0, 10, 3), dirLine(1, 10, 65000)}, {}, 2012, 0},
        {"announces more", {dirLine(0, 10, 3), dirLine(1, 10, 3)}, reply({"4", "abcd"}), 0, 2022},
        {"sends more", {dirLine(0, 10, 3), dirLine(1, 10, 3)}, reply({"3", "ab", "cd"}), 0, 2022},
        {"refused", {dirLine(0, 10, 3), dirLine(1, 10, 3)}, packets({"?", "\x04"}), 0, 2018},
        {"bad final",
         {dirLine(0, 10, 3), dirLine(1, 10, 3)},
         packets({"0", "1", "a", "b"}),
         0,
         2022},
    };
    for (const auto& c : cases) {
        cal.answer("md p", reply(c.directory));
        cal.answer("mu p,0", c.item);
        uint32_t count = 0, remaining = 0;
        EXPECT_EQ(KVTuplStart(&count), c.startResult) << c.what;
        if (c.startResult != 0) continue;
        cal.clearLog();
        EXPECT_EQ(KVTuplStep(&remaining), c.stepResult) << c.what;
        EXPECT_EQ(theSession().transferStep, 0) << c.what;
        // The same step again, now answered properly, fetches the item.
        cal.answer("mu p,0", reply({"3", "abc"}));
        EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_OK) << c.what;
        EXPECT_EQ(remaining, 1u);
        EXPECT_EQ(cal.count("mu p,0"), 2) << c.what;
    }
}

}  // namespace
}  // namespace kvtlnk
