#include "setup/range_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

struct RangeRow {
    RangeTable table;
    uint32_t function, units, range;
    const char* format;
    uint32_t prefix;
    float low, high;
    uint32_t kind;
    uint32_t isSigned;
};

// The calibrator's electrical ranges, as its data sheet lists them.
std::vector<RangeRow> electricalRows() {
    const RangeTable in = inputRanges;
    const RangeTable out = outputRanges;
    std::vector<RangeRow> rows = {
        {in, kFnCurrent, kUnitAmps, 5, "%6.3f", 2, 0.0f, 0.0331f, 0, 0},
        {in, kFnCurrent, kUnitAmps, 6, "%6.2f ", 2, 0.0299f, 0.113f, 0, 0},
        {in, kFnDcv, kUnitVolts, 6, "%7.3f", 2, 0.0f, 0.1101f, 0, 0},
        {in, kFnDcv, kUnitVolts, 7, "%7.5f", 3, 0.099f, 1.101f, 0, 0},
        {in, kFnDcv, kUnitVolts, 8, "%7.4f", 3, 0.999f, 11.01f, 0, 0},
        {in, kFnDcv, kUnitVolts, 9, "%7.3f", 3, 9.99f, 110.1f, 0, 0},
        {in, kFnDcv, kUnitVolts, 10, "%6.2f ", 3, 99.9f, 309.0f, 0, 0},
        {in, kFnAcv, kUnitVolts, 7, "%6.4f", 3, 0.0f, 1.101f, 0, 1},
        {in, kFnAcv, kUnitVolts, 8, "%6.3f", 3, 0.999f, 11.01f, 0, 1},
        {in, kFnAcv, kUnitVolts, 9, "%6.2f", 3, 9.99f, 110.1f, 0, 1},
        {in, kFnAcv, kUnitVolts, 10, "%5.1f ", 3, 99.9f, 309.0f, 0, 1},
        {in, kFnCont, kUnitOhms, 10, "%6.3f", 0, 0.0f, 1e37f, 0, 1},
        {out, kFnCurrent, kUnitAmps, 5, "%6.3f", 2, 0.0f, 0.0220001f, 0, 1},
        {out, kFnCurrentSink, kUnitAmps, 5, "%6.3f", 2, 0.0f, 0.0220001f, 0, 1},
        {out, kFnDcv, kUnitVolts, 6, "%6.3f", 2, -0.0100001f, 0.1100001f, 0, 1},
        {out, kFnDcv, kUnitVolts, 7, "%6.5f", 3, 0.0999999f, 1.100001f, 0, 1},
        {out, kFnDcv, kUnitVolts, 8, "%6.4f", 3, 0.999999f, 11.00001f, 0, 1},
        {out, kFnAcv, kUnitVolts, 8, "%6.3f", 3, 0.0f, 10.0001f, 0, 1},
        {out, kFnFreq, kUnitHertz, 9, "%6.2f", 3, 1.999f, 110.001f, 0, 1},
        {out, kFnFreq, kUnitHertz, 10, "%6.0f", 3, 99.9f, 1100.1f, 0, 1},
        {out, kFnFreq, kUnitHertz, 11, "%6.1f", 4, 990.0f, 11010.0f, 0, 1},
        {out, kFnFreq, kUnitHertz, 12, "%6.0f", 4, 9900.0f, 50100.0f, 0, 1},
        {out, kFn2wOhms, kUnitOhms, 8, "%6.3f", 3, 0.0f, 11.0001f, 0, 1},
        {out, kFn2wOhms, kUnitOhms, 9, "%6.2f", 3, 9.999f, 110.001f, 0, 1},
        {out, kFn2wOhms, kUnitOhms, 10, "%6.1f", 3, 99.99f, 1100.01f, 0, 1},
        {out, kFn2wOhms, kUnitOhms, 11, "%6.3f", 4, 999.9f, 11000.1f, 0, 1},
    };
    for (uint32_t fn : {kFnFreq, kFnFreqLow}) {
        rows.push_back(
            {in, fn, kUnitHertz, 9, "%6.2f", 3, fn == kFnFreq ? 19.9f : 0.99f, 110.1f, 0, 1});
        rows.push_back({in, fn, kUnitHertz, 10, "%6.1f", 3, 99.99f, 1100.1f, 0, 1});
        rows.push_back({in, fn, kUnitHertz, 11, "%6.3f", 4, 999.9f, 11001.0f, 0, 1});
        rows.push_back({in, fn, kUnitHertz, 12, "%6.2f", 4, 9999.0f, 51500.0f, 0, 1});
    }
    for (uint32_t fn : {kFn2wOhms, kFn3wOhms, kFn4wOhms}) {
        rows.push_back({in, fn, kUnitOhms, 8, "%6.3f", 3, -2.0f, 11.01f, 0, 1});
        rows.push_back({in, fn, kUnitOhms, 9, "%6.2f", 3, 9.99f, 110.1f, 0, 1});
        rows.push_back({in, fn, kUnitOhms, 10, "%6.1f", 3, 99.9f, 1101.0f, 0, 1});
        rows.push_back({in, fn, kUnitOhms, 11, "%6.3f", 4, 999.0f, 11300.0f, 0, 1});
    }
    return rows;
}

struct SensorLimits {
    const char* format;
    float lowC, highC, lowF, highF;
};

// Settable and measurable temperatures per sensor type (range number = type code).
const SensorLimits kTcLimits[] = {
    {"%6.1f", -252, 1002, -422, 1836}, {"%6.1f", -202, 1302, -332, 2376},
    {"%6.1f", -212, 1202, -350, 2196}, {"%6.1f", -202, 1374, -332, 2505.6f},
    {"%6.1f", -252, 402, -422, 756},   {"%6.1f", 594, 1826, 1100, 3320},
    {"%6.1f", -22, 1771, -8, 3220.6f}, {"%6.1f", -22, 1771, -8, 3220.6f},
    {"%6.1f", -4, 2320, 24, 4208.8f},  {"%6.1f", -202, 909, -332, 1668},
    {"%6.1f", -202, 606, -332, 1122},
};
const SensorLimits kRtdLimits[] = {
    {"%6.1f", -202, 632, -332, 1170}, {"%6.1f", -202, 802, -332, 1476},
    {"%6.1f", -82, 262, -116, 504},   {"%6.1f", -202, 632, -332, 1170},
    {"%6.1f", -202, 632, -332, 1170}, {"%6.1f", -202, 632, -332, 1170},
    {"%6.0f", -102, 262, -152, 504},  {"%6.1f", -202, 632, -332, 1170},
};

std::vector<RangeRow> temperatureRows() {
    std::vector<RangeRow> rows;
    auto add = [&rows](RangeTable table, uint32_t fn, const SensorLimits* limits, uint32_t n) {
        for (uint32_t type = 1; type <= n; ++type) {
            const SensorLimits& l = limits[type - 1];
            rows.push_back({table, fn, kUnitCelsius, type, l.format, 3, l.lowC, l.highC, type, 1});
            rows.push_back(
                {table, fn, kUnitFahrenheit, type, l.format, 3, l.lowF, l.highF, type, 1});
        }
    };
    add(inputRanges, kFnTc, kTcLimits, 11);
    add(outputRanges, kFnTc, kTcLimits, 11);
    for (uint32_t fn : {kFn2wRtd, kFn3wRtd, kFn4wRtd})
        add(inputRanges, fn, kRtdLimits, 8);
    add(outputRanges, kFn2wRtd, kRtdLimits, 8);
    return rows;
}

TEST(RangeTables, EveryRowAsListed) {
    const SetupState owner;
    std::vector<RangeRow> rows = electricalRows();
    const std::vector<RangeRow> temps = temperatureRows();
    rows.insert(rows.end(), temps.begin(), temps.end());

    std::map<RangeTable, size_t> rowsPerTable;
    for (const RangeRow& r : rows) {
        const RangeGroup& g = findGroup(r.table, owner, r.function, r.units);
        const std::string where = "fn " + std::to_string(r.function) + " units " +
                                  std::to_string(r.units) + " range " + std::to_string(r.range);
        ASSERT_NE(&g, &kSentinelRangeGroup) << where;
        EXPECT_EQ(g.function, r.function) << where;
        EXPECT_EQ(g.units, r.units) << where;
        EXPECT_EQ(g.isSigned, r.isSigned) << where;
        const RangeEntry& e = rangeEntry(g, r.range, 0);
        EXPECT_STREQ(e.format, r.format) << where;
        EXPECT_EQ(e.prefix, r.prefix) << where;
        EXPECT_EQ(e.low, r.low) << where;
        EXPECT_EQ(e.high, r.high) << where;
        EXPECT_EQ(e.kind, r.kind) << where;
        ++rowsPerTable[r.table];
    }
    // Nothing more in the tables than the rows above.
    for (RangeTable table : {RangeTable(inputRanges), RangeTable(outputRanges)}) {
        size_t entries = 0;
        for (RangeTable t = table; *t != nullptr; ++t)
            entries += (*t)->last - (*t)->first + 1;
        EXPECT_EQ(entries, rowsPerTable[table]);
    }
}

TEST(RangeTables, MissingRangesAndGroups) {
    const SetupState owner;
    EXPECT_STREQ(kEmptyRangeEntry.format, "<Nr>");
    const RangeGroup& ohms = findGroup(inputRanges, owner, kFn2wOhms, kUnitOhms);
    for (uint32_t n : {7u, 12u, 13u})
        EXPECT_EQ(&rangeEntry(ohms, n, 0), &kEmptyRangeEntry) << n;

    struct Missing {
        RangeTable table;
        uint32_t function, units;
    };
    const Missing missing[] = {
        {inputRanges, kFnNone, kUnitNone},        {inputRanges, kFnDcv, kUnitAmps},
        {inputRanges, kFnCurrentSink, kUnitAmps}, {outputRanges, kFn3wRtd, kUnitCelsius},
        {outputRanges, kFnFreqLow, kUnitHertz},   {outputRanges, kFnCont, kUnitOhms},
        {inputRanges, kFnTc, kUnitKpa},
    };
    for (const Missing& m : missing) {
        EXPECT_EQ(&findGroup(m.table, owner, m.function, m.units), &kSentinelRangeGroup)
            << m.function << "/" << m.units;
        EXPECT_EQ(findRange(m.table, owner, m.function, m.units, 0, 0, 0.0f), 0u);
        EXPECT_EQ(defaultValue(m.table, owner, m.function, m.units, 0), 0.0f);
    }
    // Pressure belongs to the object, whatever units are asked for.
    EXPECT_EQ(&findGroup(inputRanges, owner, kFnPressure, kUnitVolts), &owner.pressureRanges);
    EXPECT_EQ(&findGroup(outputRanges, owner, kFnPressure, kUnitKpa), &owner.pressureRanges);
}

TEST(RangeTables, EntryOfASensorKind) {
    const SetupState owner;
    const RangeGroup& tc = findGroup(inputRanges, owner, kFnTc, kUnitCelsius);
    EXPECT_EQ(rangeEntry(tc, 0, 4).high, 1374.0f);
    EXPECT_EQ(rangeEntry(tc, 0, 6).low, 594.0f);
    EXPECT_EQ(&rangeEntry(tc, 0, 0), &kEmptyRangeEntry);
    EXPECT_EQ(&rangeEntry(tc, 0, 12), &kEmptyRangeEntry);
    EXPECT_EQ(rangeEntry(tc, 5, 9).kind, 5);  // a range number ignores the kind
    // Kind 0 with number 0: the highest range of the group.
    const RangeGroup& dcv = findGroup(inputRanges, owner, kFnDcv, kUnitVolts);
    EXPECT_EQ(&rangeEntry(dcv, 0, 0), &rangeEntry(dcv, 10, 0));
}

TEST(RangeTables, FindRangeWithHysteresis) {
    const SetupState owner;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        RangeTable table;
        uint32_t function, units, kind, start;
        float value;
        uint32_t expected;
    };
    const Case cases[] = {
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, 0.05f, 6},
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, 0.5f, 7},
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, -5.0f, 8},  // by magnitude
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, 400.0f, 0},
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, 0.105f, 6},
        {inputRanges, kFnDcv, kUnitVolts, 0, 7, 0.1f, 7},  // stays inside its own limits
        {inputRanges, kFnDcv, kUnitVolts, 0, 6, 0.105f, 6},
        {inputRanges, kFnDcv, kUnitVolts, 0, 6, 0.2f, 7},
        {inputRanges, kFnDcv, kUnitVolts, 0, 6, 50.0f, 9},
        {inputRanges, kFnDcv, kUnitVolts, 0, 8, 0.05f, 6},  // steps down
        {inputRanges, kFnDcv, kUnitVolts, 0, 9, 1.05f, 8},
        {inputRanges, kFnDcv, kUnitVolts, 0, 10, 500.0f, 0},
        {inputRanges, kFnDcv, kUnitVolts, 0, 99, 200.0f, 10},  // start clamped into the group
        {inputRanges, kFnDcv, kUnitVolts, 0, 1, 200.0f, 10},
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, nan, 0},
        {inputRanges, kFnDcv, kUnitVolts, 0, 7, nan, 0},
        {inputRanges, kFnCurrent, kUnitAmps, 0, 0, -0.02f, 5},
        {outputRanges, kFnCurrent, kUnitAmps, 0, 0, -0.001f, 0},  // signed: below the low limit
        {outputRanges, kFnCurrent, kUnitAmps, 0, 0, 0.012f, 5},
        {outputRanges, kFnCurrent, kUnitAmps, 0, 0, 0.025f, 0},
        {outputRanges, kFnDcv, kUnitVolts, 0, 0, -0.01f, 6},
        {outputRanges, kFnDcv, kUnitVolts, 0, 0, -0.011f, 0},
        {outputRanges, kFnDcv, kUnitVolts, 0, 6, 0.105f, 6},
        {inputRanges, kFnTc, kUnitCelsius, 4, 0, 1373.0f, 4},
        {inputRanges, kFnTc, kUnitCelsius, 4, 0, 1375.0f, 0},
        {inputRanges, kFnTc, kUnitCelsius, 4, 9, 1000.0f, 4},  // a kind ignores the start
        {inputRanges, kFnTc, kUnitCelsius, 0, 0, 100.0f, 0},   // no tc range has kind 0
        {inputRanges, kFnTc, kUnitCelsius, 0, 3, 100.0f, 3},   // a start ignores the kind
        {outputRanges, kFn2wRtd, kUnitFahrenheit, 7, 0, 504.0f, 7},
        {outputRanges, kFn2wRtd, kUnitFahrenheit, 7, 0, 505.0f, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findRange(c.table, owner, c.function, c.units, c.kind, c.start, c.value),
                  c.expected)
            << "fn " << c.function << " kind " << c.kind << " start " << c.start << " value "
            << c.value;
    }
}

TEST(RangeTables, DefaultValues) {
    SetupState owner;
    struct Case {
        RangeTable table;
        uint32_t function, units, kind;
        float expected;
    };
    const Case cases[] = {
        {outputRanges, kFnTc, kUnitCelsius, 6, 594.0f},  // wholly above zero: low limit
        {outputRanges, kFnTc, kUnitFahrenheit, 6, 1100.0f},
        {outputRanges, kFnTc, kUnitCelsius, 4, 0.0f},   // spans zero
        {outputRanges, kFnTc, kUnitCelsius, 12, 0.0f},  // no such kind
        {outputRanges, kFnDcv, kUnitVolts, 0, 0.0f},
        {outputRanges, kFnFreq, kUnitHertz, 0, 1.999f},
        {inputRanges, kFnFreq, kUnitHertz, 0, 19.9f},
        {inputRanges, kFnCurrent, kUnitAmps, 0, 0.0f},
        {outputRanges, kFn2wRtd, kUnitCelsius, 3, 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(defaultValue(c.table, owner, c.function, c.units, c.kind), c.expected)
            << c.function << "/" << c.units << " kind " << c.kind;
    }
    // A range wholly below zero gives its high limit.
    owner.pressureRangeEntry.low = -20.0f;
    owner.pressureRangeEntry.high = -10.0f;
    EXPECT_EQ(defaultValue(outputRanges, owner, kFnPressure, kUnitPsi, 0), -10.0f);
}

}  // namespace
}  // namespace kvtlnk
