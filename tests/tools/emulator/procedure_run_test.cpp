#include "procedure_run.h"

#include <gtest/gtest.h>

#include "setup_builder.h"

namespace k27emu {
namespace {

using testing::setupRecord;
using testing::SetupSpec;
using testing::strategyRecord;
using testing::templateRecord;

// A 4-20 mA transmitter driven from a 1-5 V source (form 5); a thermocouple over 0-400 C
// (form 3); a 0-10 V input logged 5 times 2 s apart while a 1 V source is held (form 4).
EmuMemory procedureMemory() {
    SetupSpec loop, tc, logged;
    loop.inFunction = 1, loop.inUnits = 2, loop.inRange = 5, loop.inLow = 0.004f,
    loop.inHigh = 0.020f;
    loop.outFunction = 2, loop.outUnits = 1, loop.outRange = 8, loop.outLow = 1, loop.outHigh = 5;
    tc.form = 3, tc.inFunction = 10, tc.inUnits = 6, tc.inRange = 4, tc.tcType = 4, tc.inHigh = 400;
    logged.form = 4, logged.outFunction = 2, logged.outUnits = 1, logged.outRange = 8;
    logged.outLow = logged.outHigh = 1, logged.logRequested = 5, logged.logInterval = 2;
    EmuMemory m(Memory::Procedure);
    for (const EmuRecord& r :
         {strategyRecord({0, 0.5, 1}, "3 up"), setupRecord(loop), setupRecord(tc),
          setupRecord(logged), templateRecord(0, 1, 1, "PT-101", "loop"),
          templateRecord(0, 2, 0, "TT-7", "boiler"), templateRecord(0, 3, 0, "LG", ""),
          templateRecord(9, 1, 0, "no strategy", ""), templateRecord(0, 0, 0, "bad setup", "")})
        m.append(r);
    return m;
}

class EmulatorFieldRun : public ::testing::Test {
  protected:
    void SetUp() override {
        stamp = DateStamp{58, 59, 23, 0, 31, 12, 32};
        summary = runProcedures(procedure, results, 7, stamp);
    }
    EmuMemory procedure = procedureMemory();
    EmuMemory results{Memory::Results};
    DateStamp stamp;
    RunSummary summary;
};

// What the items hold is checked through the library's decoding in results_e2e_test.cpp;
// here, which items each template leaves and the log's time stamps.
TEST_F(EmulatorFieldRun, ItemsOfEachTemplate) {
    EXPECT_EQ(summary.templatesSkipped, 2);
    // Form 5 is named in place; form 3 copied as form 5; form 4 leaves its log, then a copy.
    std::vector<uint16_t> kinds;
    for (const EmuRecord& r : results.records())
        kinds.push_back(r.kind);
    EXPECT_EQ(kinds, (std::vector<uint16_t>{7, 15, 5, 7, 15, 4, 5, 7, 15}));
    ASSERT_EQ(summary.tests.size(), 3u);
    EXPECT_EQ(summary.tests[0].setupRef, 1);
    const std::vector<uint8_t>& log = results.item(summary.tests[2].logIndex)->data;
    ASSERT_EQ(log.size(), 80u + 12 + 72 + 28 + 5 * 4);
    const uint8_t lastStamp[] = {6, 0, 0, 3, 1, 1, 33};  // 8 s later: Wednesday 1 January 2025
    EXPECT_TRUE(std::equal(lastStamp, lastStamp + 7, log.begin() + 164 + 20));
}

TEST_F(EmulatorFieldRun, TheSameSeedGivesTheSameResultsAndAnotherSeedOthers) {
    EmuMemory again(Memory::Results), other(Memory::Results);
    runProcedures(procedure, again, 7, stamp);
    runProcedures(procedure, other, 8, stamp);
    EXPECT_EQ(again.records(), results.records());
    EXPECT_NE(other.item(0)->data, results.item(0)->data);
    EXPECT_EQ(other.item(2)->data, results.item(2)->data);  // the setup copy does not vary
}

TEST(EmulatorFieldRunLimits, ATemplateThatFindsTheResultsMemoryFullIsSkipped) {
    EmuMemory results(Memory::Results);
    EmuRecord filler;
    filler.data.assign(EmuMemory::kMaxItemBytes, 0);
    while (results.append(filler) >= 0) {
    }
    filler.data.assign(results.freeBytes() - EmuMemory::kItemHeaderBytes, 0);
    ASSERT_GE(results.append(filler), 0);
    const RunSummary s = runProcedures(procedureMemory(), results, 1, DateStamp{});
    EXPECT_EQ(s.templatesRun, 0);
    EXPECT_EQ(s.templatesSkipped, 5);
}

}  // namespace
}  // namespace k27emu
