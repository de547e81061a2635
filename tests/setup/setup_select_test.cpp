// Choosing functions, ranges, loop power, units and the reference junction by name, as the STA
// calls do, on a setup of each test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/sta_calls.h"
#include "setup_test_support.h"

namespace kvtlnk {
namespace {

using Call = uint32_t (*)(SetupState&);

class SetupSelect : public ::testing::Test {
  protected:
    // The setup as STAinit leaves it.
    SetupState& fresh() {
        staInit(s);
        return s;
    }

    OwnSetup own;
    SetupState& s = own.state;
};

// A sensor name that goes with a function, for the set-up of a test.
const char* sensorFor(const char* function) {
    const std::string f = function;
    return f == "tc" ? "tc_k" : f.find("rtd") != std::string::npos ? "rtd_pt100_385" : "";
}

TEST_F(SetupSelect, InputFunctions) {
    struct Case {
        const char *function, *sensor;
        uint32_t result, units = 0, range = 0, rangeSetting = 0;
    };
    const Case cases[] = {
        {"tc", "none", 2003},
        {"tc", "tc_k", 0, kUnitCelsius, 4, 6},  // the type's range; measured in the 100 mV range
        {"2w_rtd", "rtd_cu10", 0, kUnitCelsius, 7, 9},
        {"3w_rtd", "rtd_ni120", 0, kUnitCelsius, 3, 10},
        {"4w_rtd", "rtd_pt500_385", 0, kUnitCelsius, 5, 11},
        {"4w_rtd", "tc_k", 2013},
        {"current_sink", "", 2003},
        {"Dcv", "", 2013},
        {nullptr, "", 2013},
        {"cont", nullptr, 0, kUnitOhms, 0, 0},  // no sensor: its name is not looked at
        {"pressure", "", 0, kUnitPsi, 0, 0},
    };
    for (const Case& c : cases) {
        fresh();
        SCOPED_TRACE(c.function ? c.function : "null");
        ASSERT_EQ(checkedCall(s, [&] { return staSetInput(s, c.function, c.sensor); }), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(codeOf(kFunctionNames, c.function), s.in().function);
        EXPECT_EQ(s.in().units, c.units);
        EXPECT_EQ(s.in().range, c.range);
        EXPECT_EQ(s.in().rangeSetting, c.rangeSetting);
    }
}

TEST_F(SetupSelect, OutputValuesInTurn) {
    struct Case {
        const char *function, *sensor;
        float value, amplitude;
        uint32_t result, range = 0;
        float shown = 0.0f;  // the value as the display rounds it
    };
    const Case cases[] = {
        {"acv", "", 1.0f, 0, 2003},
        {"current", "", 0.012f, 0, 0, 5, 0.012f},
        {"current", "", 0.025f, 0, 2004},
        {"current", "", -0.001f, 0, 2004},
        {"dcv", "", 0.05f, 0, 0, 6, 0.05f},
        {"dcv", "", 0.105f, 0, 0, 6, 0.105f},  // still inside the 100 mV range's own limits
        {"dcv", "", 0.2f, 0, 0, 7, 0.2f},
        {"dcv", "", 0.105f, 0, 0, 7, 0.105f},  // and now inside the 1 V range's
        {"dcv", "", 1.234567f, 0, 0, 8, 1.2346f},
        {"dcv", "", 0.0123456f, 0, 0, 6, 0.012346f},
        {"dcv", "", NAN, 0, 2004},
        {"freq", "", 1000.0f, 10.5f, 2004},  // amplitude beyond 10 V
        {"freq", "", 12345.0f, 5.0f, 0, 12, 12000.0f},
        {"tc", "tc_k", 500.04f, 0, 0, 4, 500.0f},
        {"tc", "none", 100.0f, 0, 2003},  // the old type comes back
        {"tc", "tc_b", 100.0f, 0, 2004},
        {"3w_rtd", "rtd_pt100_385", 100.0f, 0, 2003},
        {"2w_rtd", "rtd_pt100_385", 100.06f, 0, 0, 2, 100.1f},
        {"pressure", "", 123.0f, 0, 0, 7, 0.0f},  // starts at its default, without a value
        {"none", "", 5.0f, 0, 0, 0, 0.0f},
    };
    fresh();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " " + std::to_string(c.value));
        ASSERT_EQ(
            checkedCall(
                s, [&] { return staSetOutput(s, c.function, c.sensor, c.value, c.amplitude); }),
            c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(codeOf(kFunctionNames, c.function), s.out().function);
        EXPECT_EQ(s.out().range, c.range);
        EXPECT_FLOAT_EQ(s.out().value, c.shown);
        EXPECT_EQ(s.out().pressurePsi, INFINITY);
        EXPECT_TRUE(s.out().function != kFnFreq || s.out().freqAmplitude == c.amplitude);
    }
}

// Sets one side or loop power: 'i' measures, 'o' sources (0.01 in base units), 'l' loop power.
uint32_t setSide(SetupState& s, char side, const char* name) {
    if (side == 'i') return staSetInput(s, name, sensorFor(name));
    if (side == 'o') return staSetOutput(s, name, sensorFor(name), 0.01f, 0);
    return staSetLoopPower(s, name);
}

TEST_F(SetupSelect, ClashesGiveWay) {
    struct Case {
        const char *in, *out, *loop;  // before
        char side;
        const char* name;
        uint32_t result, in2, out2, loop2;  // after
    };
    const Case cases[] = {
        {"dcv", "none", "24v", 'o', "current", 100, kFnDcv, kFnCurrent, kLoopOff},
        {"none", "dcv", "24v", 'i', "2w_rtd", 100, kFn2wRtd, kFnDcv, kLoopOff},
        {"2w_rtd", "none", "off", 'l', "28v", 101, kFnDcv, kFnNone, kLoop28v},
        {"2w_ohms", "none", "off", 'o', "current_sink", 101, kFnDcv, kFnCurrentSink, kLoopOff},
        {"tc", "none", "off", 'o', "tc", 101, kFnDcv, kFnTc, kLoopOff},
        {"none", "dcv", "off", 'i', "freq_low", 102, kFnFreqLow, kFnNone, kLoopOff},
        {"none", "pressure", "off", 'i', "pressure", 102, kFnPressure, kFnNone, kLoopOff},
        {"current", "none", "24v", 'o', "current", 104, kFnDcv, kFnCurrent, kLoopOff},
        {"none", "dcv", "28v", 'i', "freq_low", 105, kFnFreqLow, kFnNone, kLoopOff},
        {"4w_ohms", "none", "off", 'l', "24v", 101, kFnDcv, kFnNone, kLoop24v},
        {"dcv", "current", "off", 'l', "24v", 102, kFnDcv, kFnNone, kLoop24v},
        {"current", "dcv", "off", 'l', "24v", 0, kFnCurrent, kFnDcv, kLoop24v},
        {"none", "none", "off", 'l', "off", 0, kFnNone, kFnNone, kLoopOff},
        {"none", "none", "off", 'l', "on", 2013, kFnNone, kFnNone, kLoopOff},
    };
    for (const Case& c : cases) {
        fresh();
        ASSERT_EQ(setSide(s, 'i', c.in) + setSide(s, 'o', c.out) + setSide(s, 'l', c.loop), 0u);
        SCOPED_TRACE(std::string(c.in) + "/" + c.out + "/" + c.loop + " " + c.name);
        EXPECT_EQ(checkedCall(s, [&] { return setSide(s, c.side, c.name); }), c.result);
        EXPECT_EQ(s.in().function, c.in2);
        EXPECT_EQ(s.out().function, c.out2);
        EXPECT_EQ(s.in().loopPower, c.loop2);
    }
}

TEST_F(SetupSelect, InputRange) {
    struct Case {
        const char* function;
        uint32_t automatic;
        float value;
        uint32_t result, range = 0, autoRange = 0;
    };
    const Case cases[] = {
        {"dcv", 0, 5.0f, 0, 8, 0},      {"dcv", 0, 500.0f, 2008},
        {"dcv", 1, 500.0f, 0, 0, 1},    {"current", 0, -0.02f, 0, 5, 0},  // by magnitude
        {"2w_ohms", 0, -1.0f, 0, 8, 0}, {"tc", 0, 0.05f, 2006},
        {"freq", 1, 0.0f, 2006},        {"none", 1, 0.0f, 2006},
    };
    for (const Case& c : cases) {
        fresh();
        ASSERT_EQ(staSetInput(s, c.function, sensorFor(c.function)), 0u);
        SCOPED_TRACE(c.function);
        ASSERT_EQ(checkedCall(s, [&] { return staSetInputRange(s, c.automatic, c.value); }),
                  c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(s.in().range, c.range);
        EXPECT_EQ(s.in().rangeSetting, c.range);
        EXPECT_EQ(s.in().autoRange, c.autoRange);
    }
}

TEST_F(SetupSelect, ReferenceJunctionInBothUnits) {
    struct Case {
        Call call;
        uint32_t result;
        const char* mode = nullptr;
        float shown = 0.0f;  // STAgetTref's temperature
    };
    const Case cases[] = {
        {[](SetupState& s) { return staSetTref(s, "user", 23.0f); }, 0, "user", 23.0f},
        {[](SetupState& s) { return staSetTref(s, "user", 401.0f); }, 2001},
        {[](SetupState& s) { return staSetTref(s, "user", NAN); }, 2001},
        {[](SetupState& s) { return staSetTref(s, "user", -100.0f); }, 0, "user", -100.0f},
        {[](SetupState& s) { return staSetTref(s, "user", -100.1f); }, 2001},
        {[](SetupState& s) { return staSetTref(s, "User", 0.0f); }, 2013},
        {[](SetupState& s) { return staSetTempUnits(s, "fahrenheit"); }, 0, "user", -148.0f},
        {[](SetupState& s) { return staSetTref(s, "user", 752.0f); }, 0, "user", 752.0f},  // 400 C
        {[](SetupState& s) { return staSetTref(s, "user", 753.0f); }, 2001},
        {[](SetupState& s) { return staSetTref(s, "measure", 5.0f); }, 0, "measure", 752.0f},
        {[](SetupState& s) { return staSetTempUnits(s, "psi"); }, 2013},
        {[](SetupState& s) { return staSetPresUnits(s, "celsius"); }, 2013},
        {[](SetupState& s) { return staSetTempStd(s, "ITS90"); }, 2013},
        {[](SetupState& s) { return staSetTempStd(s, "its90"); }, 0, "measure", 752.0f},
    };
    fresh();
    for (const Case& c : cases) {
        ASSERT_EQ(checkedCall(s, [&] { return c.call(s); }), c.result);
        if (c.result != 0) continue;
        char mode[16];
        float shown = 0.0f;
        EXPECT_EQ(staGetTref(s, mode, &shown), mode);
        EXPECT_STREQ(mode, c.mode);
        EXPECT_FLOAT_EQ(shown, c.shown);
    }
    EXPECT_FLOAT_EQ(s.trefUser, 400.0f);
}

TEST_F(SetupSelect, UnitsReselectTheFunctionsInUse) {
    fresh();
    char name[16];
    ASSERT_EQ(staSetTref(s, "user", 23.0f), 0u);
    ASSERT_EQ(staSetOutput(s, "tc", "tc_k", 100.0f, 0), 0u);
    const float emf = s.outState.elecValue;
    ASSERT_EQ(checkedCall(s, [&] { return staSetTempUnits(s, "fahrenheit"); }), 0u);
    EXPECT_EQ(s.out().value, 212.0f);
    EXPECT_FLOAT_EQ(s.outState.elecValue, emf);
    EXPECT_FLOAT_EQ(s.out().tref.value, 73.4f);
    EXPECT_FLOAT_EQ(s.in().tref.value, 73.4f);
    EXPECT_EQ(s.trefUser, 23.0f);
    EXPECT_STREQ(staGetTempUnits(s, name), "fahrenheit");

    ASSERT_EQ(checkedCall(s, [&] { return staSetTempStd(s, "ipts68"); }), 0u);
    EXPECT_NE(s.outState.elecValue, emf);
    EXPECT_STREQ(staGetTempStd(s, name), "ipts68");

    // A temperature input follows too; the output's units then no longer count.
    ASSERT_EQ(staSetInput(s, "2w_rtd", "rtd_pt100_392"), 0u);
    ASSERT_EQ(checkedCall(s, [&] { return staSetTempUnits(s, "celsius"); }), 0u);
    EXPECT_EQ(s.in().units, kUnitCelsius);
    EXPECT_FLOAT_EQ(s.out().value, 100.0f);

    // Pressure: the source's range follows the units, the value in psi stays.
    ASSERT_EQ(staSetOutput(s, "pressure", "", 0, 0), 0u);
    ASSERT_EQ(checkedCall(s, [&] { return staSetPresUnits(s, "kpa"); }), 0u);
    EXPECT_STREQ(staGetPresUnits(s, name), "kpa");
    ASSERT_EQ(staSetInput(s, "pressure", ""), 102u);
    ASSERT_EQ(checkedCall(s, [&] { return staSetPresUnits(s, "bar"); }), 0u);
    EXPECT_EQ(s.in().units, kUnitBar);
    EXPECT_EQ(s.pressureRange.group.units, kUnitBar);
}

TEST_F(SetupSelect, StoresAndNameGetters) {
    fresh();
    EXPECT_EQ(checkedCall(s, [&] { return staSetInputScale(s, 20.0f, 4.0f); }), 0u);
    EXPECT_EQ(checkedCall(s, [&] { return staSetOutputScale(s, NAN, 1.0f); }), 0u);
    EXPECT_EQ(checkedCall(s, [&] { return staSetTestTolerance(s, 0.25f); }), 0u);
    EXPECT_EQ(s.inScale.low + s.outScale.high + s.tolerance.value, 21.25f);
    EXPECT_EQ(s.inScale.on + s.outScale.on + s.tolerance.on, 3);

    char name[16] = "x";
    s.tempStd = 7;  // a code without a name
    EXPECT_STREQ(staGetTempStd(s, name), "");
    EXPECT_STREQ(staGetTref(s, name, nullptr), "measure");
}

}  // namespace
}  // namespace kvtlnk
