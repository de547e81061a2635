#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_scaling.h"
#include "setup/setup_state.h"
#include "setup/sta_calls.h"
#include "setup_test_support.h"
#include "support/text_tables.h"

namespace kvtlnk {
namespace {

constexpr uint32_t kPt100 = 2;

enum class Side { Input, Output, MinMax };

// Readings arrive only from the calibrator (a restored setup); they are set here directly.
// Function "none" leaves the side to STAinit and the setters. Each test has a setup and text
// tables of its own.
void put(SetupState& s, Side side, uint32_t function, uint32_t units, uint32_t range, float v) {
    if (function == kFnNone) return;
    if (side == Side::Output) {
        OutputSettings& out = s.changeOutput();
        out.function = function, out.units = units, out.range = range;
        out.setValue = out.value = v, s.outState.changed = 1;
    } else {
        InputSettings& in = s.changeInput();
        in.function = function, in.units = units, in.range = range;
        s.inReadings.display = v, s.inReadings.valid = 1;
    }
}

// A reading (or an output value) in a range, the fields beyond it, and what the display shows.
struct Row {
    const char* what;
    Side side;
    uint32_t function, units, range;
    float value;
    std::function<void(SetupState&)> more;
    const char *first, *second;
    uint32_t result;
};

// clang-format off
const Row kRows[] = {
    {"after init", Side::Input, kFnNone, 0, 0, 0.0f, nullptr, "------", "", 0},
    {"overload", Side::Input, kFnDcv, kUnitVolts, 6, INFINITY, nullptr, "!!!!!!", "", 0},
    {"NaN, not valid", Side::Input, kFnDcv, kUnitVolts, 6, NAN, [](SetupState& s) { s.inReadings.valid = 0; },
     "!!!!!!", "", 0},
    {"min/max before any reading", Side::MinMax, kFnDcv, kUnitVolts, 6, 0.05f, nullptr, "!!!!!!", "!!!!!!", 0},
    {"dcv", Side::Input, kFnDcv, kUnitVolts, 6, 0.0523f, nullptr, " 52.300mV", "", 0},
    {"acv at 0 Hz", Side::Input, kFnAcv, kUnitVolts, 8, 5.0f, [](SetupState& s) { s.inReadings.freqRange = 9; },
     " 5.000 V", "------", 0},
    {"acv at 5 kHz", Side::Input, kFnAcv, kUnitVolts, 8, 5.0f,
     [](SetupState& s) { s.inReadings.freqRange = 11, s.inReadings.freq = 5000.0f; }, " 5.000 V", " 5.000kHz", 0},
    {"cont", Side::Input, kFnCont, kUnitOhms, 10, 1.5f, [](SetupState& s) { s.inReadings.cont = 1.5f; },
     " 1.500\x81", "  1.50\x81", 0},
    {"2w_rtd", Side::Input, kFn2wRtd, kUnitCelsius, kPt100, 100.0f, [](SetupState& s) {
         InputSettings& in = s.changeInput();
         in.rtdType = kPt100, in.elecUnits = kUnitOhms, in.rangeSetting = 10, s.inReadings.raw = 138.5f; },
     " 100.0 \xB0" "C", " 138.5 \x81", 0},
    {"input mode 4", Side::Input, kFnCurrent, kUnitAmps, 5, 50.0f,
     [](SetupState& s) { s.inScaled.mode = 4, s.inReadings.unscaled = 0.012f; }, " 50.00 %", "12.000mA", 0},
    {"input mode 5", Side::Input, kFnDcv, kUnitVolts, 6, 12.5f,
     [](SetupState& s) { s.inScaled.mode = 5, s.inReadings.unscaled = 0.0523f; }, " 12.50 UDF", " 52.300mV", 0},
    {"min/max mode 5", Side::MinMax, kFnDcv, kUnitVolts, 6, 0.0f, [](SetupState& s) {
         s.inScaled.mode = 5, s.minMax.max = 0.0523f, s.minMax.maxRange = 6, s.minMax.min = -0.5f, s.minMax.minRange = 7; },
     " 52.300mV", "-0.50000 V", 0},
    {"min/max mode 4", Side::MinMax, kFnDcv, kUnitVolts, 6, 0.0f,
     [](SetupState& s) { s.inScaled.mode = 4, s.minMax.max = 75.0f, s.minMax.min = 25.0f; }, " 75.00 %", " 25.00 %", 0},
    {"input conversion failure", Side::Input, kFnDcv, kUnitVolts, 9, 12.5f,
     [](SetupState& s) { s.inReadings.error = 15005; }, " 12.500 V", "", 2002},
    {"output not set", Side::Output, kFnDcv, kUnitVolts, 7, 1.0f, [](SetupState& s) { s.outState.changed = 0; },
     "------", "", 0},
    {"freq source", Side::Output, kFnNone, 0, 0, 0.0f,
     [](SetupState& s) { staSetOutput(s, "freq", "", 1000.0f, 5.0f); }, "  1000 Hz", " 5.000 V", 0},
    {"output mode 1", Side::Output, kFnDcv, kUnitVolts, 7, 0.5f,
     [](SetupState& s) { s.outScaled.mode = 1, s.changeOutput().setValue = 50.0f; }, " 50.00 UDF", "0.50000 V", 0},
    {"tc source, EMF out of every range", Side::Output, kFnNone, 0, 0, 0.0f,
     [](SetupState& s) { staSetTref(s, "user", 100.0f), staSetOutput(s, "tc", "tc_e", -250.0f, 0.0f); },
     "-250.0 \xB0" "C", " 0.000mV", 2001},
    {"pressure source, 0 to 100 psi module", Side::Output, kFnNone, 0, 0, 0.0f, [](SetupState& s) {
         s.module.low = 0.0f, s.module.high = 100.0f, s.module.code = 0xFFFE;
         staSetOutput(s, "pressure", "", 0.0f, 0.0f); },
     "0.00psi", "", 0},
};
// clang-format on

// Sets the row's reading on its side of the setup and reads both strings.
uint32_t show(SetupState& s, const TextTables& tables, const Row& r, char* first, char* second) {
    staInit(s);
    put(s, r.side, r.function, r.units, r.range, r.value);
    if (r.more != nullptr) r.more(s);
    if (r.side == Side::Input) return staGetInputString(s, tables, first, second);
    return r.side == Side::Output ? staGetOutputString(s, tables, first, second)
                                  : staGetMinMaxString(s, tables, first, second);
}

TEST(DisplayStrings, ShowWhatTheCalibratorShows) {
    OwnSetup own;
    const TextTables tables;
    for (const Row& r : kRows) {
        char first[KVTLNK_DISPLAY_STRING_SIZE], second[KVTLNK_DISPLAY_STRING_SIZE];
        EXPECT_EQ(show(own.state, tables, r, first, second), r.result) << r.what;
        EXPECT_STREQ(first, r.first) << r.what;
        EXPECT_STREQ(second, r.second) << r.what;
    }
}

// The number passes through the display prefix and back in single precision.
float throughPrefix(float value, uint32_t prefix) {
    prefixFromBase(&value, prefix);
    prefixToBase(&value, prefix);
    return value;
}

// Every range of both sides at its limits (and at the negative full scale where a range takes
// magnitudes), and the pressure range in every pressure unit: the string fits the stated size
// and ends with the unit's symbol, and the value comes back through the range's prefix.
TEST(DisplayStrings, EveryRangeFitsTheStatedSizeAndEndsWithItsUnit) {
    OwnSetup own;
    SetupState& s = own.state;
    const TextTables tables;
    const StringList& symbols = tables.findList(kUnitSymbolsList);
    size_t longest = 0;
    auto check = [&](const Row& r, uint32_t prefix) {
        char text[KVTLNK_DISPLAY_STRING_SIZE + 8], unused[KVTLNK_DISPLAY_STRING_SIZE];
        std::memset(text, 'x', sizeof text);
        show(s, tables, r, text, unused);
        const std::string shown(text, strnlen(text, sizeof text)),
            unit = listItem(symbols, r.units);
        const std::string where = std::to_string(r.function) + "/" + std::to_string(r.range);
        EXPECT_LT(shown.size(), size_t{KVTLNK_DISPLAY_STRING_SIZE}) << where;
        EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), unit.size())), unit) << where;
        longest = std::max(longest, shown.size());
        float value = 0.0f;
        r.side == Side::Input
            ? staGetInput(s, nullptr, nullptr, nullptr, nullptr, &value, nullptr)
            : staGetOutput(s, nullptr, nullptr, nullptr, nullptr, &value, nullptr);
        EXPECT_EQ(value, throughPrefix(r.value, prefix)) << where << ": " << shown;
    };
    for (Side side : {Side::Input, Side::Output}) {
        for (RangeTable t = side == Side::Input ? inputRanges : outputRanges; *t != nullptr; ++t) {
            const RangeGroup& g = **t;
            for (uint32_t n = g.first; n <= g.last; ++n) {
                const RangeEntry& e = rangeEntry(g, n, 0);
                for (float v : {e.low, e.high, g.isSigned ? e.low : -e.high})
                    check({"", side, g.function, g.units, n, v, nullptr, "", "", 0}, e.prefix);
            }
        }
    }
    for (uint32_t unit = kUnitPsi; unit <= kUnitKpa; ++unit) {
        for (float high : {100.0f, 10000.0f}) {
            const PressureDisplay d = pressureDisplay(unit, -high, high, -2);
            auto more = [high](SetupState& shown) {
                buildPressureRange(shown, shown.in().units, -high, high, -2);
            };
            for (float v : {d.low, d.high})
                check({"", Side::Input, kFnPressure, unit, 7, v, more, "", "", 0}, kPrefixPressure);
        }
    }
    EXPECT_EQ(longest + 1, size_t{KVTLNK_DISPLAY_STRING_SIZE});
}

TEST(Readings, ReportNamesFlagsAndSecondaryValues) {
    char function[KVTLNK_NAME_SIZE], sensor[KVTLNK_NAME_SIZE];
    uint32_t valid = 9, settled = 9, set, confirmed;
    float primary, secondary;
    OwnSetup own;
    SetupState& s = own.state;
    staInit(s);
    EXPECT_EQ(staGetInput(s, function, sensor, &valid, &settled, &primary, &secondary), 0u);
    EXPECT_EQ(std::string(function) + "/" + sensor, "none/");
    EXPECT_EQ(valid + settled, 0u);

    ASSERT_EQ(staSetInput(s, "tc", "tc_k"), 0u);
    s.inReadings.valid = 1, s.inReadings.raw = 0.0041f, s.changeInput().rangeSetting = 6;
    for (uint8_t counter : {7, 8}) {
        s.inReadings.flagCounter = counter;
        staGetInput(s, function, sensor, &valid, &settled, &primary, &secondary);
        EXPECT_EQ(std::make_pair(valid, settled), std::make_pair(1u, counter == 8 ? 1u : 0u));
    }
    EXPECT_STREQ(sensor, "tc_k");
    EXPECT_EQ(secondary, throughPrefix(0.0041f, kPrefixMilli));

    put(s, Side::Input, kFnDcv, kUnitVolts, 6, 0.0f);
    s.inScaled.mode = 5, s.minMax.max = 0.0523f, s.minMax.maxRange = 6, s.minMax.min = 0.0123f,
    s.minMax.minRange = 6;
    EXPECT_EQ(staGetMinMax(s, &primary, &secondary), 0u);
    EXPECT_EQ((std::vector<float>{primary, secondary}),
              (std::vector<float>{throughPrefix(0.0523f, kPrefixMilli),
                                  throughPrefix(0.0123f, kPrefixMilli)}));

    ASSERT_EQ(staSetOutput(s, "2w_rtd", "rtd_pt100_385", 100.0f, 0.0f), 0u);
    s.outScaled.mode = 4, s.changeOutput().setValue = 50.0f,
    s.outState.confirmed = 0;  // as restored
    staGetOutput(s, function, sensor, &set, &confirmed, &primary, nullptr);
    EXPECT_EQ(std::string(function) + "/" + sensor, "2w_rtd/rtd_pt100_385");
    EXPECT_EQ(std::make_pair(set, confirmed), std::make_pair(1u, 0u));
    EXPECT_EQ(primary, 50.0f);  // a transfer-function value comes back as it is
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

TEST(Readings, SettingsGettersReportTheirFieldsAndSkipNullOutputs) {
    OwnSetup own;
    SetupState& s = own.state;
    const TextTables tables;
    staInit(s);
    uint32_t automatic = 9, present = 9, inOn = 9, outOn = 9;
    float high = 0.0f, p[4];
    staSetInput(s, "tc", "tc_k");
    staGetInputRange(s, &automatic, &high);
    EXPECT_EQ(high, 1374.0f);
    staSetInput(s, "dcv", ""), staSetInputRange(s, 0, 5.0f);
    staGetInputRange(s, &automatic, &high);
    EXPECT_EQ(std::make_pair(automatic, high), std::make_pair(0u, 11.01f));
    char loop[KVTLNK_NAME_SIZE];
    staSetLoopPower(s, "24v"), staGetLoopPower(s, loop);
    EXPECT_STREQ(loop, "24v");
    staSetInputScale(s, 20.0f, 4.0f), staSetOutputScale(s, -1.0f, 1.0f),
        staSetTestTolerance(s, 0.5f);
    staGetInputScale(s, &p[0], &p[1]), staGetOutputScale(s, &p[2], &p[3]),
        staGetTestTolerance(s, &high);
    EXPECT_EQ((std::vector<float>{p, p + 4}), (std::vector<float>{20.0f, 4.0f, -1.0f, 1.0f}));
    EXPECT_EQ(high, 0.5f);

    s.inScaled.mode = 1, s.inScaled.p1 = 2.0f, s.inScaled.p2 = 3.0f;
    s.outScaled.p1 = 4.0f, s.outScaled.p2 = 5.0f;
    // A restored record may fill a text to the end of its field, without a terminator.
    std::memcpy(s.module.text1, "PM200 XYZW", 10), std::memcpy(s.module.text2, "0-100 PSIG", 11);
    s.module.present = 1;
    char text1[KVTLNK_PRESSURE_TEXT_SIZE], text2[10];
    staGetScaled(s, &inOn, &p[0], &p[1], &outOn, &p[2], &p[3]);
    EXPECT_EQ(std::make_pair(inOn, outOn), std::make_pair(1u, 0u));
    EXPECT_EQ((std::vector<float>{p, p + 4}), (std::vector<float>{2.0f, 3.0f, 4.0f, 5.0f}));
    staGetPressure(s, text1, text2, &present);
    EXPECT_EQ(std::string(text1) + "|" + text2, "0-100 PSIG|PM200 XYZ");
    EXPECT_EQ(present, 1u);

    staGetInput(s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    staGetOutput(s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    staGetMinMaxString(s, tables, nullptr, nullptr);
    staGetScaled(s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    staGetPressure(s, nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace kvtlnk
