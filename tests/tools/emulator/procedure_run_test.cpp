// The field run's own rules: which templates it skips, its log's time stamps, its repeatability
// and a full memory. What it records is checked through the library's decoding in
// results_e2e_test.cpp.
#include "procedure_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "setup_blocks.h"
#include "setup_builder.h"

namespace k27emu {
namespace {

using setup_builder::setupRecord;
using setup_builder::SetupShape;
using setup_builder::strategyRecord;
using setup_builder::templateRecord;

// A 0-10 V input logged 5 times 2 s apart while a 1 V source is held (form 4), and two
// templates the run cannot perform.
CalibratorMemory procedureMemory() {
    SetupShape logged;
    logged.form = 4, logged.outFunction = 2, logged.outUnits = 1, logged.outRange = 8;
    logged.outLow = logged.outHigh = 1, logged.logRequested = 5, logged.logInterval = 2;
    CalibratorMemory m(Memory::Procedure);
    for (const MemoryRecord& r :
         {strategyRecord({0, 0.5, 1}, "3 up"), setupRecord(logged),
          templateRecord(0, 1, 0, "LG", ""), templateRecord(9, 1, 0, "no strategy", ""),
          templateRecord(0, 0, 0, "setup is a strategy", "")})
        m.append(r);
    return m;
}

class EmulatorFieldRun : public ::testing::Test {
  protected:
    void SetUp() override { summary = runProcedures(procedure, results, 7, stamp); }
    CalibratorMemory procedure = procedureMemory();
    CalibratorMemory results{Memory::Results};
    DateStamp stamp{58, 59, 23, 0, 31, 12, 32};
    RunSummary summary;
};

TEST_F(EmulatorFieldRun, SkipsWhatItCannotPerformAndLogsAtItsInterval) {
    EXPECT_EQ(std::make_pair(summary.templatesRun, summary.templatesSkipped), std::make_pair(1, 2));
    // The log ramps 0 ... 12 V in the 10 V range: its last sample is beyond it.
    const FieldTest& t = summary.tests.at(0);
    ASSERT_EQ(t.log.size(), 5u);
    EXPECT_NEAR(t.log[3], 9.0, 0.01);
    EXPECT_TRUE(std::isinf(t.log[4]));
    const std::vector<uint8_t>& log = results.item(t.logIndex)->data;
    ASSERT_EQ(log.size(), 80u + 12 + 72 + 28 + 5 * 4);
    const uint8_t lastStamp[] = {6, 0, 0, 3, 1, 1, 33};  // 8 s later: Wednesday 1 January 2025
    EXPECT_TRUE(std::equal(lastStamp, lastStamp + 7, log.begin() + 164 + 20));
}

TEST_F(EmulatorFieldRun, TheSameSeedGivesTheSameResultsAndAnotherSeedOthers) {
    CalibratorMemory again(Memory::Results), other(Memory::Results);
    runProcedures(procedure, again, 7, stamp);
    runProcedures(procedure, other, 8, stamp);
    EXPECT_EQ(again.records(), results.records());
    EXPECT_NE(other.item(0)->data, results.item(0)->data);  // the log
    EXPECT_EQ(other.item(1)->data, results.item(1)->data);  // the setup copy does not vary
}

TEST_F(EmulatorFieldRun, ATemplateThatFindsTheResultsMemoryFullIsSkipped) {
    results.clear();
    MemoryRecord filler;
    filler.data.assign(CalibratorMemory::kMaxItemBytes, 0);
    while (results.append(filler) >= 0) {
    }
    filler.data.assign(results.freeBytes() - CalibratorMemory::kItemHeaderBytes, 0);
    ASSERT_GE(results.append(filler), 0);
    summary = runProcedures(procedure, results, 1, stamp);
    EXPECT_EQ(std::make_pair(summary.templatesRun, summary.templatesSkipped), std::make_pair(0, 3));
}

SetupShape form(int n) {
    SetupShape s;
    s.form = n;
    return s;
}

// A result carries its setup in form 5: head, input module, output (zeros when the setup had
// none), output module and pressure reference; min/max and log are dropped.
TEST(EmulatorResultSetup, EveryFormIsRewrittenAsForm5) {
    SetupShape logged = form(4);
    logged.outFunction = 2, logged.outUnits = 1, logged.outRange = 8, logged.logCount = 3;
    SetupShape pressure = form(2);
    pressure.inFunction = pressure.outFunction = 14, pressure.pressureRef = true;
    const struct {
        SetupShape shape;
        size_t size;
        std::vector<std::pair<size_t, uint8_t>> bytes;  // offset, value in the rewritten setup
    } cases[] = {
        {form(1), 152, {{78, 5}, {80, 0}, {151, 0}}},  // an output block of zeros added
        {form(3), 152, {{78, 5}, {80, 0}}},
        {logged, 152, {{78, 5}, {141, 1}}},  // the output's units kept
        {pressure, 228, {{78, 5}, {80, 0xA1}, {115, 0xA1}, {188, 0xB2}, {223, 0xB2}, {227, 0xE5}}},
    };
    for (const auto& c : cases) {
        MemoryRecord setup = setupRecord(c.shape);
        std::vector<uint8_t> out;
        ASSERT_TRUE(setupAsForm5(setup, &out)) << "form " << c.shape.form;
        EXPECT_EQ(out.size(), c.size) << "form " << c.shape.form;
        for (const auto& [at, value] : c.bytes)
            EXPECT_EQ(out.at(at), value) << "form " << c.shape.form << " byte " << at;
        // Nothing of the min/max block (0xC3) or the log (0xD4) is carried over.
        EXPECT_EQ(std::count(out.begin(), out.end(), 0xC3), 0) << "form " << c.shape.form;
        EXPECT_EQ(std::count(out.begin(), out.end(), 0xD4), 0) << "form " << c.shape.form;
        setup.data.pop_back();
        EXPECT_FALSE(setupAsForm5(setup, &out)) << "form " << c.shape.form << " cut short";
    }
}

}  // namespace
}  // namespace k27emu

namespace k27emu {
namespace {

// An instrument drifts by its own rate a day, drawn from the seed and its name: a run 30 days
// into service reads each point that much higher or lower, and nothing else changes.
TEST_F(EmulatorFieldRun, AnInstrumentDriftsByItsOwnRateADay) {
    CalibratorMemory later(Memory::Results);
    const RunSummary drifted = runProcedures(procedure, later, 7, stamp, 30.0);
    const FieldTest& before = summary.tests.at(0);
    const FieldTest& after = drifted.tests.at(0);
    EXPECT_EQ(before.driftPercent, 0.0);
    EXPECT_DOUBLE_EQ(after.driftPercent, driftPerDay(7, "LG") * 30);
    EXPECT_NE(after.driftPercent, 0.0);
    ASSERT_EQ(before.points.size(), after.points.size());
    int measured = 0;
    for (size_t i = 0; i < before.points.size(); ++i) {
        if (!before.points[i].measuredPresent) continue;
        ++measured;
        EXPECT_NEAR(after.points[i].errorPercent - before.points[i].errorPercent,
                    after.driftPercent, 1e-9);
    }
    EXPECT_GT(measured, 0);
    EXPECT_EQ(results.count(), later.count());
}

TEST(EmulatorDrift, EachInstrumentHasItsOwnRateWithinTheBound) {
    const struct {
        uint32_t seed;
        const char* name;
    } instruments[] = {{1, "PT-101"}, {1, "PT-102"}, {2, "PT-101"}, {1, ""}, {7, "TT-205"}};
    std::vector<double> rates;
    for (const auto& i : instruments) {
        const double rate = driftPerDay(i.seed, i.name);
        EXPECT_EQ(rate, driftPerDay(i.seed, i.name)) << i.name;
        EXPECT_LE(std::fabs(rate), kMaxDriftPerDay) << i.name;
        rates.push_back(rate);
    }
    std::sort(rates.begin(), rates.end());
    EXPECT_EQ(std::adjacent_find(rates.begin(), rates.end()), rates.end())
        << "two instruments drift alike";
}

}  // namespace
}  // namespace k27emu
