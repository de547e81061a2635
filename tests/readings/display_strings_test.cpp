#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_scaling.h"
#include "setup/setup_state.h"
#include "support/text_tables.h"

namespace kvtlnk {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr uint32_t kTcE = 1, kTcK = 4, kPt100 = 2;

// Readings arrive only from the calibrator (a restored setup); they are set here directly.
void measure(SetupState& s, uint32_t function, uint32_t units, uint32_t range, float value) {
    s.inFunction = function;
    s.inUnits = units;
    s.inRange = range;
    s.inDisplayValue = value;
    s.inReadingValid = 1;
}

void source(SetupState& s, uint32_t function, uint32_t units, uint32_t range, float value) {
    s.outFunction = function;
    s.outUnits = units;
    s.outRange = range;
    s.outSetValue = s.outValue = value;
    s.outChanged = 1;
}

void minMax(SetupState& s, uint32_t mode, float max, uint32_t maxRange, float min,
            uint32_t minRange) {
    measure(s, kFnDcv, kUnitVolts, 6, 0.05f);
    s.inScaledMode = mode;
    s.inMax = max, s.inMaxRange = maxRange, s.inMin = min, s.inMinRange = minRange;
}

enum class Side { Input, Output, MinMax };

struct Row {
    const char* what;
    Side side;
    void (*shape)(SetupState&);
    const char* first;
    const char* second;
    uint32_t result;
};

// clang-format off
const Row kRows[] = {
    {"after init", Side::Input, [](SetupState&) {}, "------", "", 0},
    {"overload", Side::Input, [](SetupState& s) { measure(s, kFnDcv, kUnitVolts, 6, kInf); },
     "!!!!!!", "", 0},
    {"NaN, not valid", Side::Input,
     [](SetupState& s) { measure(s, kFnDcv, kUnitVolts, 6, NAN), s.inReadingValid = 0; },
     "!!!!!!", "", 0},
    {"min/max before any reading", Side::MinMax, [](SetupState& s) { minMax(s, 0, -kInf, 0, kInf, 0); },
     "!!!!!!", "!!!!!!", 0},
    {"dcv", Side::Input, [](SetupState& s) { measure(s, kFnDcv, kUnitVolts, 6, 0.0523f); },
     " 52.300mV", "", 0},
    {"acv at 0 Hz", Side::Input,
     [](SetupState& s) { measure(s, kFnAcv, kUnitVolts, 8, 5.0f), s.inFreqRange = 9; },
     " 5.000 V", "------", 0},
    {"acv at 5 kHz", Side::Input, [](SetupState& s) {
         measure(s, kFnAcv, kUnitVolts, 8, 5.0f), s.inFreqRange = 11, s.inFreqReading = 5000.0f; },
     " 5.000 V", " 5.000kHz", 0},
    {"cont", Side::Input,
     [](SetupState& s) { measure(s, kFnCont, kUnitOhms, 10, 1.5f), s.inContReading = 1.5f; },
     " 1.500\x81", "  1.50\x81", 0},
    {"2w_rtd", Side::Input, [](SetupState& s) {
         measure(s, kFn2wRtd, kUnitCelsius, kPt100, 100.0f), s.inRtdType = kPt100;
         s.inRawReading = 138.5f, s.inElecUnits = kUnitOhms, s.inRangeSetting = 10; },
     " 100.0 \xB0" "C", " 138.5 \x81", 0},
    {"input mode 4", Side::Input, [](SetupState& s) {
         measure(s, kFnCurrent, kUnitAmps, 5, 50.0f), s.inScaledMode = 4, s.inUnscaledValue = 0.012f; },
     " 50.00 %", "12.000mA", 0},
    {"input mode 5", Side::Input, [](SetupState& s) {
         measure(s, kFnDcv, kUnitVolts, 6, 12.5f), s.inScaledMode = 5, s.inUnscaledValue = 0.0523f; },
     " 12.50 UDF", " 52.300mV", 0},
    {"min/max mode 5", Side::MinMax, [](SetupState& s) { minMax(s, 5, 0.0523f, 6, -0.5f, 7); },
     " 52.300mV", "-0.50000 V", 0},
    {"min/max mode 4", Side::MinMax, [](SetupState& s) { minMax(s, 4, 75.0f, 6, 25.0f, 6); },
     " 75.00 %", " 25.00 %", 0},
    {"min/max mode 9", Side::MinMax, [](SetupState& s) { minMax(s, 9, 1.0f, 6, 0.0f, 6); }, "", "", 0},
    {"input conversion failure", Side::Input,
     [](SetupState& s) { measure(s, kFnDcv, kUnitVolts, 9, 12.5f), s.inError = 15005; },
     " 12.500 V", "", 2002},
    {"output not set", Side::Output,
     [](SetupState& s) { source(s, kFnDcv, kUnitVolts, 7, 1.0f), s.outChanged = 0; }, "------", "", 0},
    {"freq source", Side::Output,
     [](SetupState& s) { source(s, kFnFreq, kUnitHertz, 10, 1000.0f), s.outFreqAmplitude = 5.0f; },
     "  1000 Hz", " 5.000 V", 0},
    {"output mode 1", Side::Output, [](SetupState& s) {
         source(s, kFnDcv, kUnitVolts, 7, 0.5f), s.outScaledMode = 1, s.outSetValue = 50.0f; },
     " 50.00 UDF", "0.50000 V", 0},
    {"tc source, EMF out of every range", Side::Output, [](SetupState& s) {
         source(s, kFnTc, kUnitCelsius, kTcE, -250.0f), s.outTcType = kTcE, s.outElecUnits = kUnitVolts;
         s.outTrefMode = kTrefUser, s.outTrefValue = 100.0f;
         s.markChanged(kChangedOutput), s.commit(); },
     "-250.0 \xB0" "C", " 0.000mV", 2001},
    {"pressure source", Side::Output, [](SetupState& s) {
         buildPressureRange(s, kUnitPsi, 0.0f, 100.0f, -2), source(s, kFnPressure, kUnitPsi, 7, 0.0f); },
     "0.00psi", "", 0},
};
// clang-format on

TEST(DisplayStrings, ShowWhatTheCalibratorShows) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.what);
        STAinit();
        r.shape(theSetupState());
        char first[KVTLNK_DISPLAY_STRING_SIZE], second[KVTLNK_DISPLAY_STRING_SIZE];
        const uint32_t result = r.side == Side::Input    ? STAgetInputString(first, second)
                                : r.side == Side::Output ? STAgetOutputString(first, second)
                                                         : STAgetMinMaxString(first, second);
        EXPECT_EQ(result, r.result);
        EXPECT_STREQ(first, r.first);
        EXPECT_STREQ(second, r.second);
    }
}

// The number passes through the display prefix and back in single precision.
float throughPrefix(float value, uint32_t prefix) {
    prefixFromBase(&value, prefix);
    prefixToBase(&value, prefix);
    return value;
}

TEST(Readings, ComeBackInBaseUnitsThroughThePrefix) {
    const struct {
        Side side;
        uint32_t function, units, range;
        float value;
        uint32_t prefix;
    } cases[] = {
        {Side::Input, kFnDcv, kUnitVolts, 6, 0.0523f, kPrefixMilli},
        {Side::Input, kFnFreq, kUnitHertz, 11, 5432.1f, kPrefixKilo},
        {Side::Input, kFn2wOhms, kUnitOhms, 11, 1234.567f, kPrefixKilo},
        {Side::Output, kFnCurrent, kUnitAmps, 5, 0.0123f, kPrefixMilli},
        {Side::Output, kFnFreq, kUnitHertz, 12, 43210.7f, kPrefixKilo},
    };
    for (const auto& c : cases) {
        STAinit();
        SetupState& s = theSetupState();
        measure(s, c.function, c.units, c.range, c.value);
        source(s, c.function, c.units, c.range, c.value);
        float primary = 0.0f, secondary = 1.0f;
        if (c.side == Side::Input) {
            EXPECT_EQ(STAgetInput(nullptr, nullptr, nullptr, nullptr, &primary, &secondary), 0u);
        } else {
            EXPECT_EQ(STAgetOutput(nullptr, nullptr, nullptr, nullptr, &primary, &secondary), 0u);
        }
        EXPECT_EQ(primary, throughPrefix(c.value, c.prefix)) << c.function << " " << c.value;
        EXPECT_EQ(secondary, 0.0f);
    }
}

TEST(Readings, ReportNamesFlagsAndTheSecondaryValue) {
    STAinit();
    char function[KVTLNK_NAME_SIZE], sensor[KVTLNK_NAME_SIZE];
    uint32_t valid = 9, settled = 9;
    EXPECT_EQ(STAgetInput(function, sensor, &valid, &settled, nullptr, nullptr), 0u);
    EXPECT_STREQ(function, "none");
    EXPECT_STREQ(sensor, "");
    EXPECT_EQ(valid + settled, 0u);

    SetupState& s = theSetupState();
    measure(s, kFnTc, kUnitCelsius, kTcK, 100.0f);
    s.inTcType = kTcK, s.inRawReading = 0.0041f, s.inElecUnits = kUnitVolts, s.inRangeSetting = 6;
    float primary, secondary;
    for (uint8_t counter : {7, 8}) {
        s.inFlagCounter = counter;
        STAgetInput(function, sensor, &valid, &settled, &primary, &secondary);
        EXPECT_EQ(settled, counter == 8 ? 1u : 0u);
    }
    EXPECT_STREQ(sensor, "tc_k");
    EXPECT_EQ(valid, 1u);
    EXPECT_EQ(primary, 100.0f);
    EXPECT_EQ(secondary, throughPrefix(0.0041f, kPrefixMilli));

    source(s, kFn2wRtd, kUnitCelsius, kPt100, 0.0f);
    s.outRtdType = kPt100, s.outScaledMode = 4, s.outSetValue = 50.0f, s.outConfirmed = 0;
    uint32_t set, confirmed;
    STAgetOutput(function, sensor, &set, &confirmed, &primary, nullptr);
    EXPECT_STREQ(function, "2w_rtd");
    EXPECT_STREQ(sensor, "rtd_pt100_385");
    EXPECT_EQ(set * 2 + confirmed, 2u);
    EXPECT_EQ(primary, 50.0f);  // a transfer-function value comes back as it is
}

// Every range of both sides, at its limits (and the negative full scale where a range takes
// magnitudes), and the pressure range in every pressure unit.
TEST(DisplayStrings, EveryRangeFitsTheStatedSizeAndEndsWithItsUnit) {
    const StringList& symbols = theTextTables().findList(kUnitSymbolsList);
    size_t longest = 0;
    auto check = [&](Side side, uint32_t units, const std::string& where) {
        char text[KVTLNK_DISPLAY_STRING_SIZE + 8], unused[KVTLNK_DISPLAY_STRING_SIZE];
        std::memset(text, 'x', sizeof text);
        side == Side::Input ? STAgetInputString(text, unused) : STAgetOutputString(text, unused);
        const std::string shown(text, strnlen(text, sizeof text));
        const std::string unit = listItem(symbols, units);
        EXPECT_LT(shown.size(), size_t{KVTLNK_DISPLAY_STRING_SIZE}) << where;
        EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), unit.size())), unit)
            << where << ": " << shown;
        longest = std::max(longest, shown.size());
    };
    for (Side side : {Side::Input, Side::Output}) {
        RangeTable table = side == Side::Input ? inputRanges : outputRanges;
        for (; *table != nullptr; ++table) {
            const RangeGroup& g = **table;
            for (uint32_t n = g.first; n <= g.last; ++n) {
                const RangeEntry& e = rangeEntry(g, n, 0);
                for (float v : {e.low, e.high, g.isSigned ? e.low : -e.high}) {
                    STAinit();
                    SetupState& s = theSetupState();
                    side == Side::Input ? measure(s, g.function, g.units, n, v)
                                        : source(s, g.function, g.units, n, v);
                    s.inTcType = s.inRtdType = s.outTcType = s.outRtdType = e.kind;
                    check(side, g.units, std::to_string(g.function) + "/" + std::to_string(n));
                }
            }
        }
    }
    for (uint32_t unit = kUnitPsi; unit <= kUnitKpa; ++unit) {
        for (float high : {100.0f, 10000.0f}) {
            STAinit();
            SetupState& s = theSetupState();
            buildPressureRange(s, unit, -high, high, -2);
            for (float v : {s.pressureRangeEntry.low, s.pressureRangeEntry.high}) {
                measure(s, kFnPressure, unit, 7, v);
                check(Side::Input, unit, "pressure in " + std::to_string(unit));
            }
        }
    }
    EXPECT_EQ(longest + 1, size_t{KVTLNK_DISPLAY_STRING_SIZE});
}

TEST(Readings, NameBuffersHoldEveryName) {
    size_t longest = 0;
    for (const NameTable* t : {&kFunctionNames, &kUnitNames, &kRtdNames, &kTcNames,
                               &kLoopPowerNames, &kTempStdNames, &kTrefModeNames}) {
        for (uint32_t i = 0; i < t->count; ++i)
            longest = std::max(longest, std::strlen(t->rows[i].name));
    }
    EXPECT_EQ(longest + 1, size_t{KVTLNK_NAME_SIZE});
}

TEST(Readings, SettingsGettersReportTheirFields) {
    STAinit();
    SetupState& s = theSetupState();
    measure(s, kFnTc, kUnitCelsius, kTcK, 20.0f);
    s.inTcType = kTcK, s.inAutoRange = 0;
    uint32_t automatic = 9, present = 9, inOn = 9, outOn = 9;
    float high = 0.0f;
    STAgetInputRange(&automatic, &high);
    EXPECT_EQ(automatic, 0u);
    EXPECT_EQ(high, 1374.0f);
    measure(s, kFnDcv, kUnitVolts, 8, 5.0f);
    STAgetInputRange(&automatic, &high);
    EXPECT_EQ(high, 11.01f);

    s.loopPower = kLoop28v, s.inScaledMode = 1, s.inScaledP1 = 2.0f, s.inScaledP2 = 3.0f;
    s.outScaledP1 = 4.0f, s.outScaledP2 = 5.0f, s.testTolerance = 0.25f;
    s.storeInputScale(20.0f, 4.0f), s.storeOutputScale(-1.0f, 1.0f);
    std::memcpy(s.pressureText1, "PM200", 6), std::memcpy(s.pressureText2, "0-100 PSIG", 11);
    s.pressureModulePresent = 1;
    char loop[KVTLNK_NAME_SIZE], text1[KVTLNK_PRESSURE_TEXT_SIZE], text2[10];
    float p[8];
    STAgetLoopPower(loop);
    STAgetScaled(&inOn, &p[0], &p[1], &outOn, &p[2], &p[3]);
    STAgetInputScale(&p[4], &p[5]);
    STAgetOutputScale(&p[6], &p[7]);
    STAgetPressure(text1, text2, &present);
    EXPECT_STREQ(loop, "28v");
    EXPECT_EQ(inOn * 2 + outOn, 2u);
    const float expected[8] = {2.0f, 3.0f, 4.0f, 5.0f, 20.0f, 4.0f, -1.0f, 1.0f};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p[i], expected[i]) << i;
    STAgetTestTolerance(&p[0]);
    EXPECT_EQ(p[0], 0.25f);
    EXPECT_STREQ(text1, "0-100 PSIG");
    EXPECT_STREQ(text2, "PM200");
    EXPECT_EQ(present, 1u);
}

TEST(Readings, NullOutputsAreLeftOut) {
    STAinit();
    EXPECT_EQ(STAgetInput(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(STAgetOutput(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(STAgetMinMax(nullptr, nullptr), 0u);
    EXPECT_EQ(STAgetInputString(nullptr, nullptr), 0u);
    EXPECT_EQ(STAgetOutputString(nullptr, nullptr), 0u);
    EXPECT_EQ(STAgetMinMaxString(nullptr, nullptr), 0u);
    STAgetInputRange(nullptr, nullptr);
    STAgetLoopPower(nullptr);
    STAgetScaled(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    STAgetInputScale(nullptr, nullptr);
    STAgetOutputScale(nullptr, nullptr);
    STAgetTestTolerance(nullptr);
    STAgetPressure(nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace kvtlnk
