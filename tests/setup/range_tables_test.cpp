// Range choice on the calibrator's tables; the setters' tests reach the common cases.
#include "setup/range_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

TEST(RangeTables, FindRangeWithHysteresis) {
    const SetupState owner;
    struct Case {
        RangeTable table;
        uint32_t function, units, kind, start;
        float value;
        uint32_t expected;
    };
    const Case cases[] = {
        {inputRanges, kFnDcv, kUnitVolts, 0, 0, -5.0f, 8},  // by magnitude
        {inputRanges, kFnDcv, kUnitVolts, 0, 6, 50.0f, 9},
        {inputRanges, kFnDcv, kUnitVolts, 0, 8, 0.05f, 6},  // steps down
        {inputRanges, kFnDcv, kUnitVolts, 0, 9, 1.05f, 8},
        {inputRanges, kFnDcv, kUnitVolts, 0, 10, 500.0f, 0},
        {inputRanges, kFnDcv, kUnitVolts, 0, 99, 200.0f, 10},  // start clamped into the group
        {inputRanges, kFnDcv, kUnitVolts, 0, 1, 200.0f, 10},
        {inputRanges, kFnDcv, kUnitVolts, 0, 7, NAN, 0},
        {inputRanges, kFnAcv, kUnitVolts, 0, 0, 309.0f, 10},
        {inputRanges, kFnFreq, kUnitHertz, 0, 0, 10.0f, 0},
        {inputRanges, kFnFreqLow, kUnitHertz, 0, 0, 10.0f, 9},
        {inputRanges, kFnCont, kUnitOhms, 0, 0, 1e30f, 10},
        {inputRanges, kFnTc, kUnitCelsius, 4, 0, 1375.0f, 0},
        {inputRanges, kFnTc, kUnitCelsius, 4, 9, 1000.0f, 4},  // a kind ignores the start
        {inputRanges, kFnTc, kUnitCelsius, 0, 0, 100.0f, 0},   // no tc range has kind 0
        {inputRanges, kFnTc, kUnitCelsius, 0, 3, 100.0f, 3},   // a start ignores the kind
        {outputRanges, kFn2wRtd, kUnitFahrenheit, 7, 0, 504.0f, 7},
        {outputRanges, kFn2wRtd, kUnitFahrenheit, 7, 0, 505.0f, 0},
        {outputRanges, kFnCurrentSink, kUnitAmps, 0, 0, 0.022f, 5},
        {outputRanges, kFn2wOhms, kUnitOhms, 0, 10, 11000.0f, 11},
        {outputRanges, kFn3wRtd, kUnitCelsius, 2, 0, 0.0f, 0},  // measure-only
        {outputRanges, kFnCont, kUnitOhms, 0, 0, 0.0f, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findRange(c.table, owner, c.function, c.units, c.kind, c.start, c.value),
                  c.expected)
            << "fn " << c.function << " kind " << c.kind << " start " << c.start << " value "
            << c.value;
    }
}

TEST(RangeTables, EntriesAndDefaults) {
    SetupState owner;
    const RangeGroup& tc = findGroup(inputRanges, owner, kFnTc, kUnitCelsius);
    EXPECT_EQ(rangeEntry(tc, 0, 4).high, 1374.0f);
    EXPECT_EQ(&rangeEntry(tc, 0, 12), &kEmptyRangeEntry);
    EXPECT_EQ(rangeEntry(tc, 5, 9).kind, 5);  // a range number ignores the kind
    const RangeGroup& ohms = findGroup(inputRanges, owner, kFn3wOhms, kUnitOhms);
    EXPECT_STREQ(rangeEntry(ohms, 13, 0).format, "<Nr>");
    EXPECT_EQ(&findGroup(inputRanges, owner, kFnPressure, kUnitVolts), &owner.pressureRange.group);

    EXPECT_EQ(defaultValue(outputRanges, owner, kFnTc, kUnitCelsius, 6), 594.0f);  // tc_b
    EXPECT_EQ(defaultValue(outputRanges, owner, kFnTc, kUnitFahrenheit, 6), 1100.0f);
    EXPECT_EQ(defaultValue(outputRanges, owner, kFnTc, kUnitCelsius, 12), 0.0f);
    EXPECT_EQ(defaultValue(inputRanges, owner, kFnDcv, kUnitAmps, 0), 0.0f);
    owner.pressureRange.entry.low = -20.0f;  // wholly below zero: its high limit
    owner.pressureRange.entry.high = -10.0f;
    EXPECT_EQ(defaultValue(outputRanges, owner, kFnPressure, kUnitPsi, 0), -10.0f);
}

}  // namespace
}  // namespace kvtlnk
