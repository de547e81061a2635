// Operations of the setup object that no entry point reaches with these arguments: other units,
// transfer functions from a restored setup, a pressure source refused in new units.
#include <gtest/gtest.h>

#include <cmath>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup_test_support.h"

namespace kvtlnk {
namespace {

TEST(SetupOperations, RefusalsChangeNothing) {
    struct Case {
        bool (*op)(SetupState&);
        uint16_t status;
    };
    const Case cases[] = {
        {[](SetupState& s) { return s.setInputFunction(kFnPressure, kUnitCelsius); }, 15006},
        {[](SetupState& s) { return s.setInputFunction(16, 0); }, 15006},
        {[](SetupState& s) { return s.setInputTc(kFnTc, 4, kUnitKpa); }, 15006},
        {[](SetupState& s) { return s.setInputRtd(kFnTc, 1, 0); }, 15006},
        {[](SetupState& s) { return s.setInputRange(12); }, 15014},  // dcv ends at 10
        {[](SetupState& s) { return s.setOutputValue(kFnDcv, kUnitAmps, 1.0f); }, 15006},
        {[](SetupState& s) { return s.setOutputValue(kFnDcv, 0, 12.0f); }, 15009},
        {[](SetupState& s) { return s.setOutputFreq(kFnFreq, 0, 100.0f, -0.1f); }, 15009},
        {[](SetupState& s) { return s.setTrefUser(-INFINITY); }, 15004},
    };
    for (const Case& c : cases) {
        SetupState s;
        ASSERT_TRUE(s.setInputFunction(kFnDcv, 0));
        ASSERT_TRUE(s.setOutputValue(kFnDcv, 0, 1.0f));
        s.commit();
        const auto before = bytesOf(s);
        EXPECT_FALSE(c.op(s));
        EXPECT_EQ(s.status, c.status);
        s.status = 0;
        EXPECT_EQ(bytesOf(s), before) << c.status;
    }
}

TEST(SetupOperations, NewFunctionRefusedAfterItsReset) {
    SetupState s;
    ASSERT_TRUE(s.setOutputValue(kFnDcv, 0, 1.0f));
    s.outScaled.mode = kScaleLinear;
    EXPECT_FALSE(s.setOutputValue(kFnCurrent, 0, 0.5f));
    EXPECT_EQ(s.out().function, kFnDcv);
    EXPECT_EQ(s.outScaled.mode, kScaleNone);
}

TEST(SetupOperations, ScaledOutputValues) {
    struct Case {
        uint32_t mode;
        float p1, p2, value;
        bool made;
        float set = 0.0f, out = 0.0f;  // outSetValue and outValue
    };
    const Case cases[] = {
        {kScalePercent, 0.004f, 0.02f, 50.0f, true, 50.0f, 0.012f},
        {kScalePercent, 0.004f, 0.02f, 12.344f, true, 12.34f, 0.005974f},
        {kScalePercent, 0.0f, 0.0f, 1000.01f, false},  // beyond 1000 %
        {kScaleLinear, 0.004f, 1.0f, 0.0149f, true, 0.01f, 0.006f},
        {kScaleSquareRoot, 0.0f, 1000.0f, -1.0f, false},  // no root
        {kScaleNoneAlt, 0.0f, 0.0f, 0.0123456f, true, 0.012346f, 0.012346f},
    };
    for (const Case& c : cases) {
        SetupState s;
        ASSERT_TRUE(s.setOutputValue(kFnCurrent, 0, 0.0f));
        s.outScaled.mode = c.mode;
        s.outScaled.p1 = c.p1;
        s.outScaled.p2 = c.p2;
        EXPECT_EQ(s.setOutputValue(kFnCurrent, 0, c.value), c.made) << c.mode << " " << c.value;
        if (!c.made) continue;
        EXPECT_FLOAT_EQ(s.out().setValue, c.set);
        EXPECT_FLOAT_EQ(s.out().value, c.out);
    }
}

TEST(SetupOperations, PressureSource) {
    SetupState s;
    ASSERT_TRUE(s.setOutputValue(kFnPressure, kUnitPsi, 100.0f));
    EXPECT_EQ(s.out().pressurePsi, 100.0f);
    // Refused in kPa: the range comes back to psi.
    EXPECT_FALSE(s.setOutputValue(kFnPressure, kUnitKpa, 1e6f));
    EXPECT_EQ(s.pressureRange.group.units, kUnitPsi);
    EXPECT_EQ(s.out().pressurePsi, 100.0f);
    ASSERT_TRUE(s.setOutputValue(kFnPressure, kUnitKpa, 100.0f));
    EXPECT_FLOAT_EQ(s.out().pressurePsi, 14.50377f);
    EXPECT_EQ(s.pressureRange.group.units, kUnitKpa);
}

TEST(SetupOperations, WarningsKeepTheSetting) {
    SetupState s;
    ASSERT_TRUE(s.setInputFunction(kFnFreqLow, 0));
    EXPECT_FALSE(s.setOutputFreq(kFnFreq, 0, 1000.0f, 2.5f));
    EXPECT_EQ(s.status, kStatusInputToDcv);
    EXPECT_EQ(s.out().freqAmplitude, 2.5f);
    EXPECT_EQ(s.in().function, kFnDcv);
}

}  // namespace
}  // namespace kvtlnk
