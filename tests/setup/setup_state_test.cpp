#include "setup/setup_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_scaling.h"

namespace kvtlnk {
namespace {

constexpr float kInf = INFINITY;

// Counts the calls of the read and write brackets.
class CountingSetup : public SetupState {
  public:
    void beginRead() override { ++readsOpened; }
    void endRead() override { ++readsClosed; }
    void beginWrite() override { ++writesOpened; }
    void endWrite() override { ++writesClosed; }
    int readsOpened = 0, readsClosed = 0, writesOpened = 0, writesClosed = 0;
};

TEST(SetupState, ConstructionAndReset) {
    float samples[2] = {1.5f, 2.5f};
    SetupState s(samples, 2);
    EXPECT_EQ(s.presUnits, kUnitPsi);
    EXPECT_EQ(s.tempUnits, kUnitCelsius);
    EXPECT_EQ(s.logStartTime, emptyStamp());
    // The reset values that are not zero.
    EXPECT_EQ(s.inMax, -kInf);
    EXPECT_EQ(s.inMin, kInf);
    EXPECT_EQ(s.outStepSize, kInf);
    EXPECT_EQ(s.outPressurePsi, kInf);
    EXPECT_EQ(s.trefUser, 23.0f);
    EXPECT_EQ(s.pressureHigh, 10000.0f);
    EXPECT_EQ(s.pressureLow, -100.0f);
    EXPECT_EQ(s.pressureCode, 0xFFFF);
    for (uint32_t one : {s.inMinMaxOn, uint32_t{s.inAutoRange}, uint32_t{s.outConfirmed},
                         s.outStepState, s.loopPower}) {
        EXPECT_EQ(one, 1u);
    }
    EXPECT_EQ(s.inTrefUnits + s.outTrefUnits, 2 * kUnitCelsius);

    // A reset keeps the units, the log buffer and stamps and the pressure range.
    s.presUnits = kUnitKpa;
    s.tempUnits = kUnitFahrenheit;
    s.logStartTime.year = 7;
    buildPressureRange(s, kUnitBar, 0.0f, 100.0f, -2);
    s.inFunction = kFnDcv;
    s.logCount = 2;
    s.status = kStatusCombination;
    std::strcpy(s.pressureText1, "P100");
    s.resetSetup();
    EXPECT_EQ(s.presUnits, kUnitKpa);
    EXPECT_EQ(s.tempUnits, kUnitFahrenheit);
    EXPECT_EQ(s.logStartTime.year, 7);
    EXPECT_EQ(s.logBuffer, samples);
    EXPECT_EQ(samples[1], 2.5f);
    EXPECT_STREQ(s.pressureFormat, "%.4f");
    EXPECT_EQ(s.pressureRanges.units, kUnitBar);
    EXPECT_EQ(s.inFunction, kFnNone);
    EXPECT_EQ(s.logCount, 0u);
    EXPECT_EQ(s.status, 0);
    EXPECT_STREQ(s.pressureText1, "");
}

TEST(SetupState, PressureRangeLivesInTheObject) {
    SetupState s;
    const RangeGroup& g = s.pressureRanges;
    EXPECT_EQ(g.first, 7u);
    EXPECT_EQ(g.last, 7u);
    EXPECT_EQ(g.function, kFnPressure);
    EXPECT_EQ(s.pressureRangeEntry.format, s.pressureFormat);
    EXPECT_EQ(s.pressureRangeEntry.prefix, kPrefixPressure);

    buildPressureRange(s, kUnitKpa, 0.0f, 100.0f, -2);
    EXPECT_STREQ(rangeEntry(g, 7, 0).format, "%.2f");
    EXPECT_EQ(g.units, kUnitKpa);
    EXPECT_EQ(findRange(outputRanges, s, kFnPressure, kUnitKpa, 0, 0, 700.0f), 7u);
    EXPECT_EQ(findRange(outputRanges, s, kFnPressure, kUnitKpa, 0, 0, 800.0f), 0u);

    const SetupState other;  // has its own, untouched
    EXPECT_EQ(other.pressureRanges.units, kUnitPsi);
    EXPECT_STREQ(other.pressureFormat, "%.2E");
}

TEST(SetupState, MarkChangedFindsThePressureSide) {
    struct Case {
        uint32_t out, in, side;
    };
    const Case cases[] = {
        {kFnPressure, kFnPressure, kPressureOutput},  // output wins
        {kFnPressure, kFnDcv, kPressureOutput},
        {kFnNone, kFnPressure, kPressureInput},
        {kFnDcv, kFnTc, kPressureNone},
    };
    for (const Case& c : cases) {
        SetupState s;
        s.pressureSide = 99;
        s.outFunction = c.out;
        s.inFunction = c.in;
        s.markChanged(kChangedInput);
        s.markChanged(kChangedOutput);
        EXPECT_EQ(s.pressureSide, c.side) << c.out << "/" << c.in;
        EXPECT_EQ(s.changeFlags, kChangedInput | kChangedOutput);
    }
}

TEST(SetupState, AccessorsKeepTheirBrackets) {
    CountingSetup s;
    s.tempUnits = kUnitFahrenheit;
    s.status = kStatusOutputRange;
    uint32_t u = 0, v = 0;
    uint16_t flag = 0;
    float a = 0, b = 0;
    const char* t1 = nullptr;
    const char* t2 = nullptr;
    EXPECT_EQ(s.takeStatus(), kStatusOutputRange);
    EXPECT_EQ(s.takeStatus(), 0);
    s.readInputRange(&u, &flag);
    s.readInFunction(&u);
    s.readInUnits(&u);
    s.readInTc(&u, &v);
    s.readInRtd(&u, &v);
    s.readInTrefMode(&u);
    s.readInScaled(&u, &a, &b);
    s.readOutFunction(&u);
    s.readOutUnits(&u);
    s.readOutTcType(&u);
    s.readOutRtdType(&u);
    s.readOutScaled(&u, &a, &b);
    s.readPressureTexts(&t2, &t1);
    s.readPressureModulePresent(&flag);
    s.readTempStd(&u);
    s.readPresUnits(&u);
    s.readTempUnits(&u);
    s.readInputScale(&a, &b, &flag);
    s.readOutputScale(&a, &b, &flag);
    s.readTestTolerance(&a, &flag);
    s.readTrefUser(&a, &u);
    EXPECT_EQ(s.readsOpened, 23);
    EXPECT_EQ(s.readsClosed, 23);
    EXPECT_EQ(s.writesOpened, 0);
    EXPECT_EQ(t2, s.pressureText2);
    EXPECT_FLOAT_EQ(a, 73.4f);  // 23.0 C in the current units
    EXPECT_EQ(u, kUnitFahrenheit);

    // Writes open the bracket and leave closing to commit.
    s.storeInputScale(20.0f, 4.0f);  // kept as passed, in no particular order
    s.storeTestTolerance(0.5f);
    s.clearOutputScale();  // also drops the test tolerance
    s.clearMinMax();
    EXPECT_EQ(s.inScaleLow, 20.0f);
    EXPECT_EQ(s.testTolOn, 0);
    EXPECT_EQ(s.writesOpened, 4);
    EXPECT_EQ(s.writesClosed, 0);
    s.commit();
    EXPECT_EQ(s.writesOpened, 5);
    EXPECT_EQ(s.writesClosed, 1);
}

}  // namespace
}  // namespace kvtlnk
