#include "procedure_run.h"

#include <gtest/gtest.h>

#include <cmath>

#include "setup_builder.h"

namespace k27emu {
namespace {

using kvtlnk::loadF32;
using kvtlnk::loadI32;
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

TEST_F(EmulatorFieldRun, ItemsOfEachTemplate) {
    EXPECT_EQ(summary.templatesRun, 3);
    EXPECT_EQ(summary.templatesSkipped, 2);
    // Form 5 is named in place; form 3 copied as form 5; form 4 leaves its log, then a copy.
    const uint16_t kinds[] = {7, 15, 5, 7, 15, 4, 5, 7, 15};
    ASSERT_EQ(results.count(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(results.item(i)->kind, kinds[i]) << i;
    const int32_t setupRefs[] = {1, -3, -7}, resultIndices[] = {0, 3, 7};
    for (int i = 0; i < 3; ++i) {
        const FieldTest& t = summary.tests[static_cast<size_t>(i)];
        EXPECT_EQ(t.setupRef, setupRefs[i]);
        EXPECT_EQ(t.resultIndex, resultIndices[i]);
        EXPECT_EQ(loadI32(results.item(t.resultIndex)->data.data()), t.setupRef);
    }
    const std::vector<uint8_t>& tag = results.item(4)->data;
    EXPECT_EQ(std::string(tag.begin(), tag.end()), std::string("TAG-0002\0TT-7\0boiler\0", 21));
    EXPECT_FLOAT_EQ(loadF32(results.item(3)->data.data() + 12 + 3 * 22), 21.5f);  // junction

    // The log ramps 0 ... 12 V in the 10 V range: its last sample is beyond it.
    const FieldTest& logged = summary.tests[2];
    EXPECT_EQ(logged.logIndex, 5);
    ASSERT_EQ(logged.log.size(), 5u);
    EXPECT_NEAR(logged.log[3], 9.0, 0.01);
    EXPECT_TRUE(std::isinf(logged.log[4]));
    const std::vector<uint8_t>& log = results.item(5)->data;
    ASSERT_EQ(log.size(), 80u + 12 + 72 + 28 + 5 * 4);
    const uint8_t lastStamp[] = {6, 0, 0, 3, 1, 1, 33};  // 8 s later: Wednesday 1 January 2025
    EXPECT_TRUE(std::equal(lastStamp, lastStamp + 7, log.begin() + 164 + 20));
}

TEST_F(EmulatorFieldRun, ReadingsInTheDisplayUnitsOfTheirRange) {
    // 4, 12, 20 mA measured (range 5, shown in milliamps) against 1, 3, 5 V sourced (range
    // 8, volts); errors within 0.05 % of the 16 mA span.
    const double mA[] = {4, 12, 20}, volts[] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        const uint8_t* e = results.item(0)->data.data() + 12 + 22 * i;
        const FieldPoint& p = summary.tests[0].points[static_cast<size_t>(i)];
        EXPECT_NEAR(loadF32(e), mA[i], 0.008) << i;
        EXPECT_FLOAT_EQ(loadF32(e), static_cast<float>(p.measured * 1000)) << i;
        EXPECT_NEAR(loadF32(e + 4), volts[i], 1e-5) << i;
        EXPECT_NEAR(loadF32(e + 8), (p.measured - mA[i] / 1000) / 0.016 * 100, 1e-3) << i;
        EXPECT_EQ(std::vector<uint8_t>(e + 16, e + 22), (std::vector<uint8_t>{5, 8, 1, 1, 1, 0}));
        EXPECT_EQ(p.inLimit, 0.0331);
    }
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

TEST(EmulatorSetupAsForm5, BlocksAreKeptDroppedOrAddedByForm) {
    SetupSpec noOutput, withOutput, logging, pressure, reference;
    noOutput.form = 1;
    withOutput.form = 3, withOutput.outFunction = 2;
    logging.form = 4, logging.outFunction = 2, logging.logCount = 3;
    pressure.form = 2, pressure.inFunction = 14, pressure.outFunction = 14;
    reference.pressureRef = true;
    const struct {
        SetupSpec spec;
        size_t length;
    } cases[] = {{SetupSpec{}, 152}, {noOutput, 152}, {withOutput, 152},
                 {logging, 152},     {pressure, 224}, {reference, 156}};
    for (const auto& c : cases) {
        std::vector<uint8_t> copy;
        ASSERT_TRUE(setupAsForm5(setupRecord(c.spec), &copy)) << c.length;
        EXPECT_EQ(copy.size(), c.length);
        EXPECT_EQ(copy[78], 5);
        EXPECT_FALSE(std::count(copy.begin(), copy.end(), 0xC3) +
                     std::count(copy.begin(), copy.end(), 0xD4))
            << c.length << ": min/max or log bytes left in";
    }
    EmuRecord cut = setupRecord(logging);
    cut.data.pop_back();
    std::vector<uint8_t> copy;
    EXPECT_FALSE(setupAsForm5(cut, &copy));
    EXPECT_FALSE(setupAsForm5(templateRecord(0, 0, 0, "", ""), &copy));
}

}  // namespace
}  // namespace k27emu
