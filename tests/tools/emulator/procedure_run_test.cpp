#include "procedure_run.h"

#include <gtest/gtest.h>

#include <cmath>

#include "setup_builder.h"

namespace k27emu {
namespace {

using kvtlnk::loadF32;
using kvtlnk::loadI32;
using kvtlnk::loadU16;
using setup_builder::setupRecord;
using setup_builder::SetupSpec;
using setup_builder::strategyRecord;
using setup_builder::templateRecord;

// A 4-20 mA transmitter driven from a 1-5 V source, and a thermocouple checked over 0-400 C.
SetupSpec loopSetup() {
    SetupSpec s;
    s.inFunction = 1, s.inUnits = 2, s.inRange = 5, s.inLow = 0.004f, s.inHigh = 0.020f;
    s.outFunction = 2, s.outUnits = 1, s.outRange = 8, s.outLow = 1, s.outHigh = 5;
    return s;
}

SetupSpec thermocoupleSetup() {
    SetupSpec s;
    s.form = 3;
    s.inFunction = 10, s.inUnits = 6, s.inRange = 4, s.tcType = 4, s.inLow = 0, s.inHigh = 400;
    return s;
}

EmuMemory procedureMemory() {
    EmuMemory m(Memory::Procedure);
    m.append(strategyRecord({0, 0.5, 1}, "3 up"));                 // 0
    m.append(strategyRecord({0, 0.25, 0.5, 0.75, 1}, "5 up"));     // 1
    m.append(setupRecord(loopSetup()));                            // 2
    m.append(setupRecord(thermocoupleSetup()));                    // 3
    m.append(templateRecord(0, 2, 1, "PT-101", "Pressure loop"));  // 4
    m.append(templateRecord(1, 3, 0, "TT-7", "Boiler"));           // 5
    m.append(templateRecord(9, 2, 0, "no strategy", ""));          // 6: skipped
    m.append(templateRecord(0, 0, 0, "setup is a strategy", ""));  // 7: skipped
    return m;
}

const uint8_t* entry(const EmuRecord& result, int i) {
    return result.data.data() + 12 + 22 * i;
}

std::vector<std::string> texts(const EmuRecord& r) {
    std::vector<std::string> out;
    std::string cur;
    for (uint8_t b : r.data) {
        if (b == 0) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(b);
        }
    }
    return out;
}

class EmulatorFieldRun : public ::testing::Test {
  protected:
    void SetUp() override {
        stamp.year = 32;
        summary = runProcedures(procedure, results, 7, stamp);
    }
    EmuMemory procedure = procedureMemory();
    EmuMemory results{Memory::Results};
    DateStamp stamp;
    RunSummary summary;
};

TEST_F(EmulatorFieldRun, EachTemplateLeavesASetupCopyAResultAndATag) {
    EXPECT_EQ(summary.templatesRun, 2);
    EXPECT_EQ(summary.templatesSkipped, 2);
    ASSERT_EQ(results.count(), 6);
    const uint16_t kinds[] = {5, 7, 15, 5, 7, 15};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(results.item(i)->kind, kinds[i]) << i;
        EXPECT_EQ(results.item(i)->stamp, stamp) << i;
    }
    // Each result names the setup copy just before it and the template's strategy.
    struct Expect {
        int result, setupRef, strategyRef, entries, flag;
        size_t length;
    };
    const Expect expected[] = {
        {1, -1, 0, 3, 1, 12 + 3 * 22},
        {4, -4, 1, 5, 0, 12 + 5 * 22 + 4},  // thermocouple: reference-junction temperature
    };
    for (const Expect& e : expected) {
        const EmuRecord& r = *results.item(e.result);
        EXPECT_EQ(loadI32(r.data.data()), e.setupRef) << e.result;
        EXPECT_EQ(loadI32(r.data.data() + 4), e.strategyRef) << e.result;
        EXPECT_EQ(loadU16(r.data.data() + 8), e.entries) << e.result;
        EXPECT_EQ(r.data[10], e.flag) << e.result;
        EXPECT_EQ(r.data.size(), e.length) << e.result;
    }
    EXPECT_FLOAT_EQ(loadF32(results.item(4)->data.data() + 12 + 5 * 22), 21.5f);
    EXPECT_EQ(texts(*results.item(2)),
              (std::vector<std::string>{"TAG-0001", "PT-101", "Pressure loop"}));
    EXPECT_EQ(texts(*results.item(5)), (std::vector<std::string>{"TAG-0002", "TT-7", "Boiler"}));

    // Setup copies are form 5 with the template's setup in them.
    EXPECT_EQ(results.item(0)->data, procedure.item(2)->data);  // already form 5
    const EmuRecord& tc = *results.item(3);
    ASSERT_EQ(tc.data.size(), 152u);  // the min/max block dropped, an empty output block added
    EXPECT_EQ(tc.data[78], 5);
    EXPECT_TRUE(std::equal(tc.data.begin(), tc.data.begin() + 78, procedure.item(3)->data.begin()));
    EXPECT_EQ(std::vector<uint8_t>(tc.data.begin() + 80, tc.data.end()),
              std::vector<uint8_t>(72, 0));
}

TEST_F(EmulatorFieldRun, ReadingsFollowTheStrategyInTheDisplayUnitsOfTheirRange) {
    // Loop setup, points 0, 0.5, 1: 4, 12, 20 mA measured (range 5, shown in milli) against
    // 1, 3, 5 V sourced (range 8, shown in volts); errors within 0.05 % of the 16 mA span.
    const EmuRecord& r = *results.item(1);
    const double mA[] = {4, 12, 20}, volts[] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        const uint8_t* e = entry(r, i);
        EXPECT_NEAR(loadF32(e), mA[i], 0.008) << i;
        EXPECT_NEAR(loadF32(e + 4), volts[i], 1e-5) << i;
        EXPECT_NEAR(loadF32(e + 8), (loadF32(e) - mA[i]) / 16 * 100, 1e-3) << i;
        EXPECT_LE(std::fabs(loadF32(e + 12) - mA[i]), std::fabs(loadF32(e) - mA[i]) + 1e-6) << i;
        EXPECT_EQ(e[16], 5) << i;
        EXPECT_EQ(e[17], 8) << i;
        EXPECT_EQ(std::vector<uint8_t>(e + 18, e + 22), (std::vector<uint8_t>{1, 1, 1, 0})) << i;
    }
    // Thermocouple, no source: temperatures over 0-400 C in the setup's range, no second value.
    const EmuRecord& t = *results.item(4);
    for (int i = 0; i < 5; ++i) {
        const uint8_t* e = entry(t, i);
        EXPECT_NEAR(loadF32(e), 100.0 * i, 0.2) << i;
        EXPECT_EQ(e[16], 4) << i;
        EXPECT_EQ(e[20], 0) << i;
        EXPECT_EQ(loadF32(e + 4), 0.0f) << i;
    }
}

TEST_F(EmulatorFieldRun, TheSameSeedGivesTheSameResultsAndAnotherSeedOthers) {
    EmuMemory again(Memory::Results), other(Memory::Results);
    runProcedures(procedure, again, 7, stamp);
    runProcedures(procedure, other, 8, stamp);
    EXPECT_EQ(again.records(), results.records());
    EXPECT_NE(other.item(1)->data, results.item(1)->data);
    EXPECT_EQ(other.item(0)->data, results.item(0)->data);  // the setup copy does not vary
}

TEST(EmulatorFieldRunLimits, ATemplateThatFindsTheResultsMemoryFullIsSkipped) {
    const EmuMemory procedure = procedureMemory();
    EmuMemory results(Memory::Results);
    EmuRecord filler;
    filler.data.assign(EmuMemory::kMaxItemBytes, 0);
    while (results.append(filler) >= 0) {
    }
    filler.data.assign(results.freeBytes() - EmuMemory::kItemHeaderBytes, 0);
    ASSERT_GE(results.append(filler), 0);
    ASSERT_EQ(results.freeBytes(), 0u);
    const RunSummary s = runProcedures(procedure, results, 1, DateStamp{});
    EXPECT_EQ(s.templatesRun, 0);
    EXPECT_EQ(s.templatesSkipped, 4);
}

TEST(EmulatorFieldRunPressure, APressureResultCarriesTheModuleAndItsPresenceByte) {
    SetupSpec s;
    s.inFunction = 14, s.inUnits = 9, s.inRange = 7, s.inLow = 0, s.inHigh = 30,
    s.pressureRef = true;
    EmuMemory procedure(Memory::Procedure);
    procedure.append(strategyRecord({0, 1}, "2"));
    procedure.append(setupRecord(s));
    procedure.append(templateRecord(0, 1, 0, "PT", ""));
    EmuMemory results(Memory::Results);
    ASSERT_EQ(runProcedures(procedure, results, 1, DateStamp{}).templatesRun, 1);
    const EmuRecord& r = *results.item(1);
    ASSERT_EQ(r.data.size(), 12u + 2 * 22 + 36 + 1);
    const std::vector<uint8_t>& module = procedure.item(1)->data;
    EXPECT_TRUE(std::equal(r.data.end() - 37, r.data.end() - 1, module.begin() + 80));
    EXPECT_EQ(r.data.back(), 1);
    EXPECT_EQ(entry(r, 1)[16], 7);
    EXPECT_NEAR(loadF32(entry(r, 1)), 30, 0.02);
}

TEST(EmulatorSetupAsForm5, BlocksAreKeptDroppedOrAddedByForm) {
    struct Case {
        const char* what;
        SetupSpec spec;
        size_t length;  // of the form-5 copy; 0 when refused
    };
    SetupSpec noOutput, withOutput, logging, pressure, reference;
    noOutput.form = 1;
    withOutput.form = 3, withOutput.outFunction = 2;
    logging.form = 4, logging.outFunction = 2, logging.logCount = 3;
    pressure.form = 2, pressure.inFunction = 14, pressure.outFunction = 14;
    reference.pressureRef = true;
    const Case cases[] = {
        {"form 5 without output function", SetupSpec{}, 152},
        {"form 1 without output block", noOutput, 152},
        {"form 3 with min/max and output", withOutput, 152},
        {"form 4 with log of 3 samples", logging, 152},
        {"form 2 with both pressure modules", pressure, 80 + 36 + 72 + 36},
        {"pressure reference", reference, 156},
    };
    for (const Case& c : cases) {
        const EmuRecord source = setupRecord(c.spec);
        std::vector<uint8_t> copy;
        ASSERT_TRUE(setupAsForm5(source, &copy)) << c.what;
        EXPECT_EQ(copy.size(), c.length) << c.what;
        EXPECT_EQ(copy[78], 5) << c.what;
        EXPECT_FALSE(std::count(copy.begin(), copy.end(), 0xC3) +
                     std::count(copy.begin(), copy.end(), 0xD4))
            << c.what << ": min/max or log bytes left in";
    }
    EmuRecord cut = setupRecord(logging);
    cut.data.pop_back();
    std::vector<uint8_t> copy;
    EXPECT_FALSE(setupAsForm5(cut, &copy));
    EmuRecord notSetup = templateRecord(0, 0, 0, "", "");
    EXPECT_FALSE(setupAsForm5(notSetup, &copy));
}

}  // namespace
}  // namespace k27emu
