#include "setup/commit.h"

#include <gtest/gtest.h>

#include "readings/units.h"
#include "setup/name_tables.h"

namespace kvtlnk {
namespace {

// An object sourcing a temperature in celsius, its reference junction in user mode at tref.
void sourceTemperature(SetupState& s, uint32_t function, uint32_t type, float t, float tref) {
    OutputSettings& out = s.changeOutput();
    out.function = function;
    out.tcType = out.rtdType = type;
    out.units = kUnitCelsius;
    out.elecUnits = function == kFnTc ? kUnitVolts : kUnitOhms;
    out.value = t;
    out.tref = ReferenceJunction{kTrefUser, tref, kUnitCelsius};
}

TEST(Commit, TemperatureSources) {
    struct Case {
        uint32_t function, type, standard;
        float t, tref;
        float elec;  // expected EMF or resistance
        uint32_t range, result;
        uint16_t error;  // outError afterwards
    };
    const Case cases[] = {
        {kFnTc, 4, kStdIts90, 1372.0f, 0.0f, 0.0548861f, 6, 0, 0},
        {kFnTc, 4, kStdIpts68, 1372.0f, 0.0f, 0.0548747f, 6, 0, 0},
        {kFnTc, 4, kStdIts90, 23.0f, 23.0f, 0.0f, 6, 0, 0},   // at the junction: exactly 0
        {kFnTc, 12, kStdIts90, 100.0f, 0.0f, 0.0f, 6, 0, 0},  // no curve: 0 V without an error
        {kFnTc, 1, kStdIts90, -250.0f, 100.0f, 0.0f, 6, 2001,
         kStatusTcConversion},  // below -10 mV: lowest value
        {kFn2wRtd, 2, kStdIts90, 100.0f, 0.0f, 138.5055f, 10, 0, 0},
        {kFn2wRtd, 2, kStdIts90, 1e5f, 0.0f, 0.0f, 8, 2002, kStatusRtdConversion},
    };
    for (const Case& c : cases) {
        SetupState s;
        s.tempStd = c.standard;
        sourceTemperature(s, c.function, c.type, c.t, c.tref);
        EXPECT_EQ(finishSetter(s), c.result) << c.type << " at " << c.t;
        EXPECT_NEAR(s.outState.elecValue, c.elec, 1e-5f * c.elec + 1e-7f);
        EXPECT_EQ(s.outState.elecRange, c.range);
        EXPECT_EQ(s.outState.error, c.error);
        EXPECT_EQ(s.outState.changed, 1);
        EXPECT_EQ(s.pendingChanges(), 0u);
    }
}

TEST(Commit, ConversionErrorStaysUntilASourceSucceeds) {
    SetupState s;
    sourceTemperature(s, kFnTc, 1, -250.0f, 100.0f);
    EXPECT_FALSE(s.commit());
    s.status = 0;
    s.markChanged(kChangedInput);  // an input-only commit leaves it
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outState.error, kStatusTcConversion);
    sourceTemperature(s, kFn2wRtd, 2, 100.0f, 0.0f);  // not the RTD's error to clear
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outState.error, kStatusTcConversion);
    sourceTemperature(s, kFnTc, 4, 100.0f, 0.0f);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outState.error, 0);
}

TEST(Commit, ReferenceJunctions) {
    SetupState s;
    sourceTemperature(s, kFnTc, 4, 212.0f, 50.0f);
    s.changeOutput().units = kUnitFahrenheit;
    s.changeOutput().tref.mode = kTrefMeasure;  // the junction value is not used
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outState.valueC, 100.0f);
    EXPECT_EQ(s.outState.trefC, 0.0f);
    EXPECT_NEAR(s.outState.elecValue, 0.0040964f, 1e-6);

    s.changeInput().tref = ReferenceJunction{kTrefUser, 212.0f, kUnitFahrenheit};
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.inReadings.trefC, 100.0f);
}

TEST(Commit, OnlyPendingChangesAreApplied) {
    SetupState s;
    s.changeOutput().value = 3.0f;
    EXPECT_EQ(s.pendingChanges(), kChangedOutput);  // a setting marks its side as it changes
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outState.valueC, 3.0f);
    s.outState = OutputState();  // derived values left behind: nothing pending recomputes them
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outState.changed, 0);
    EXPECT_EQ(s.outState.valueC, 0.0f);
    s.markChanged(kChangedOutputState | 0x30000);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outState.changed, 1);
    EXPECT_EQ(s.outState.valueC, 0.0f);
    EXPECT_EQ(s.pendingChanges(), 0u);
}

}  // namespace
}  // namespace kvtlnk
