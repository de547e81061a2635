#include "setup/commit.h"

#include <gtest/gtest.h>

#include "readings/units.h"
#include "setup/name_tables.h"

namespace kvtlnk {
namespace {

// An object sourcing a thermocouple temperature in celsius, its reference junction in user
// mode at tref.
void sourceTc(SetupState& s, uint32_t type, float t, float tref) {
    s.outFunction = kFnTc;
    s.outTcType = type;
    s.outUnits = kUnitCelsius;
    s.outElecUnits = kUnitVolts;
    s.outValue = t;
    s.outTrefMode = kTrefUser;
    s.outTrefUnits = kUnitCelsius;
    s.outTrefValue = tref;
    s.markChanged(kChangedOutput);
}

TEST(Commit, ThermocoupleSources) {
    struct Case {
        uint32_t type, standard;
        float t, tref;
        float volts;  // expected EMF
        uint32_t range;
    };
    const Case cases[] = {
        {4, kStdIts90, 1372.0f, 0.0f, 0.0548861f, 6},
        {4, kStdIpts68, 1372.0f, 0.0f, 0.0548747f, 6},
        {4, kStdIts90, 23.0f, 23.0f, 0.0f, 6},  // at the junction temperature: exactly 0
    };
    for (const Case& c : cases) {
        SetupState s;
        s.tempStd = c.standard;
        sourceTc(s, c.type, c.t, c.tref);
        EXPECT_TRUE(s.commit());
        EXPECT_NEAR(s.outElecValue, c.volts, 1e-6) << c.type << " at " << c.t;
        EXPECT_EQ(s.outElecRange, c.range);
        EXPECT_EQ(s.outValueC, c.t);
        EXPECT_EQ(s.outTrefC, c.tref);
        EXPECT_EQ(s.outError, 0);
        EXPECT_EQ(s.outChanged, 1);
        EXPECT_EQ(s.changeFlags, 0u);
    }
}

TEST(Commit, StandardChangesTheSourcedEmf) {
    for (uint32_t type : {4u, 10u, 11u}) {
        SetupState s;
        sourceTc(s, type, 500.0f, 0.0f);
        ASSERT_TRUE(s.commit());
        const float its90 = s.outElecValue;
        s.tempStd = kStdIpts68;
        s.markChanged(kChangedOutput);
        ASSERT_TRUE(s.commit());
        EXPECT_NE(s.outElecValue, its90) << type;
    }
}

TEST(Commit, SourceInFahrenheitAndMeasuredJunction) {
    SetupState s;
    sourceTc(s, 4, 212.0f, 0.0f);
    s.outUnits = kUnitFahrenheit;
    s.outTrefMode = kTrefMeasure;
    s.outTrefC = 0.0f;
    s.outTrefValue = 50.0f;  // not used while the junction is measured
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outValueC, 100.0f);
    EXPECT_EQ(s.outTrefC, 0.0f);
    EXPECT_NEAR(s.outElecValue, 0.0040964f, 1e-6);
}

TEST(Commit, EmfOutsideEverySourceRangeFallsBack) {
    SetupState s;
    sourceTc(s, 1, -250.0f, 100.0f);  // tc_e: about -16 mV, below the -10 mV range
    EXPECT_FALSE(s.commit());
    EXPECT_EQ(s.status, kStatusTcConversion);
    EXPECT_EQ(s.outError, kStatusTcConversion);
    EXPECT_EQ(s.outElecValue, 0.0f);
    EXPECT_EQ(s.outElecRange, 6u);
    EXPECT_EQ(s.outValue, -250.0f);
    EXPECT_EQ(finishSetter(s), 2001u);
    EXPECT_EQ(s.status, 0);

    // The error stays through an input-only commit ...
    s.markChanged(kChangedInput);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outError, kStatusTcConversion);
    // ... and goes with the next good source value.
    s.outValue = 100.0f;
    s.markChanged(kChangedOutput);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outError, 0);
}

TEST(Commit, RtdSources) {
    SetupState s;
    s.outFunction = kFn2wRtd;
    s.outRtdType = 2;  // rtd_pt100_385
    s.outUnits = kUnitCelsius;
    s.outElecUnits = kUnitOhms;
    s.outValue = 100.0f;
    s.markChanged(kChangedOutput);
    ASSERT_TRUE(s.commit());
    EXPECT_NEAR(s.outElecValue, 138.5055f, 1e-3);
    EXPECT_EQ(s.outElecRange, 10u);

    s.outError = kStatusTcConversion;  // another sensor's error is not this step's to clear
    s.markChanged(kChangedOutput);
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outError, kStatusTcConversion);

    s.outValue = 1e5f;  // far past the curve: no resistance range holds it
    s.markChanged(kChangedOutput);
    EXPECT_FALSE(s.commit());
    EXPECT_EQ(s.outError, kStatusRtdConversion);
    EXPECT_EQ(s.outElecValue, 0.0f);
    EXPECT_EQ(s.outElecRange, 8u);
    EXPECT_EQ(finishSetter(s), 2002u);
}

TEST(Commit, SensorTypeWithoutCurveSourcesZero) {
    for (uint32_t type : {0u, 12u}) {
        SetupState s;
        sourceTc(s, type, 100.0f, 0.0f);
        EXPECT_TRUE(s.commit()) << type;
        EXPECT_EQ(s.outElecValue, 0.0f);
        EXPECT_EQ(s.outElecRange, 6u);
    }
}

TEST(Commit, ElectricalAndPressureSources) {
    SetupState s;
    s.outFunction = kFnDcv;
    s.outUnits = s.outElecUnits = kUnitVolts;
    s.outValue = 5.0f;
    s.markChanged(kChangedOutput);
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outValueC, 5.0f);
    EXPECT_EQ(s.outElecValue, 5.0f);
    EXPECT_EQ(s.outElecRange, 8u);
    s.outValue = 1.05f;  // inside the 10 V range's own limits: kept
    s.markChanged(kChangedOutput);
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outElecRange, 8u);
    s.outValue = 50.0f;  // fits nothing: no status, just no range
    s.markChanged(kChangedOutput);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outElecRange, 0u);

    s.outFunction = kFnPressure;
    s.outUnits = kUnitKpa;
    s.outElecRange = 42;
    s.markChanged(kChangedOutput);
    ASSERT_TRUE(s.commit());
    EXPECT_EQ(s.outValueC, 0.0f);
    EXPECT_EQ(s.outElecValue, 0.0f);
    EXPECT_EQ(s.outElecRange, 42u);
}

TEST(Commit, ChangeBits) {
    SetupState s;
    s.outValue = 3.0f;
    EXPECT_TRUE(s.commit());  // nothing pending: nothing recomputed
    EXPECT_EQ(s.outChanged, 0);
    EXPECT_EQ(s.outValueC, 0.0f);

    s.markChanged(kChangedOutputState | 0x30000);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.outChanged, 1);
    EXPECT_EQ(s.outValueC, 0.0f);
    EXPECT_EQ(s.changeFlags, 0u);

    s.inTrefMode = kTrefUser;
    s.inTrefUnits = kUnitFahrenheit;
    s.inTrefValue = 212.0f;
    s.markChanged(kChangedInput);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.inTrefC, 100.0f);
    s.inTrefMode = kTrefMeasure;
    s.inTrefValue = 32.0f;
    s.markChanged(kChangedInput);
    EXPECT_TRUE(s.commit());
    EXPECT_EQ(s.inTrefC, 100.0f);
}

}  // namespace
}  // namespace kvtlnk
