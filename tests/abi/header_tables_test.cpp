// The tables of the public header against the library's own: the names the STA calls take, the
// symbols the display shows, and the units each function is set in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_functions.h"
#include "support/text_tables.h"

namespace kvtlnk {
namespace {

struct Row {
    const char* name;
    const char* value;
};
#define KVTLNK_TEST_ROW(name, value) {name, value},
const Row kFunctions[] = {KVTLNK_FUNCTIONS(KVTLNK_TEST_ROW)};
const Row kUnits[] = {KVTLNK_UNITS(KVTLNK_TEST_ROW)};
#undef KVTLNK_TEST_ROW

TEST(HeaderTables, NamesAndSymbolsAreTheLibrarys) {
    ASSERT_EQ(std::size(kUnits), kUnitNames.count);
    const TextTables text;
    const StringList& symbols = text.findList(kUnitSymbolsList);
    for (uint32_t code = 0; code < kUnitNames.count; ++code) {
        EXPECT_STREQ(kUnits[code].name, nameOf(kUnitNames, code));
        EXPECT_STREQ(kUnits[code].value, listItem(symbols, code)) << kUnits[code].name;
    }
    ASSERT_EQ(std::size(kFunctions), kFunctionNames.count);
    for (uint32_t code = 0; code < kFunctionNames.count; ++code)
        EXPECT_STREQ(kFunctions[code].name, nameOf(kFunctionNames, code));
}

// The units the library accepts for a function (besides "none", which stands for its first)
// are the one the header names, or those STAsetTempUnits or STAsetPresUnits take.
TEST(HeaderTables, EachFunctionIsInTheUnitsItNames) {
    std::set<std::string> temperature, pressure;
    STAinit();
    for (const Row& u : kUnits) {
        if (STAsetTempUnits(u.name) == KVTLNK_OK) temperature.insert(u.name);
        if (STAsetPresUnits(u.name) == KVTLNK_OK) pressure.insert(u.name);
    }
    STAinit();
    for (uint32_t f = 0; f < std::size(kFunctions); ++f) {
        const std::string unit = kFunctions[f].value;
        std::set<std::string> accepted;
        for (uint32_t u = 1; u < std::size(kUnits); ++u) {
            if (checkCombination(f, u, 1, 1) == 0) accepted.insert(kUnits[u].name);
        }
        const std::set<std::string> expected = unit == "temperature" ? temperature
                                               : unit == "pressure"  ? pressure
                                               : unit == "none"      ? std::set<std::string>{}
                                                                     : std::set<std::string>{unit};
        EXPECT_EQ(accepted, expected) << kFunctions[f].name;
    }
}

#define KVTLNK_TEST_NAME(name) name,
const std::vector<std::string> kInputFunctions = {KVTLNK_INPUT_FUNCTIONS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kOutputFunctions = {KVTLNK_OUTPUT_FUNCTIONS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kThermocouples = {KVTLNK_THERMOCOUPLES(KVTLNK_TEST_NAME)};
const std::vector<std::string> kRtds = {KVTLNK_RTDS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kTemperatureUnits = {KVTLNK_TEMPERATURE_UNITS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kPressureUnits = {KVTLNK_PRESSURE_UNITS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kLoopPower = {KVTLNK_LOOP_POWER(KVTLNK_TEST_NAME)};
const std::vector<std::string> kStandards = {KVTLNK_TEMPERATURE_STANDARDS(KVTLNK_TEST_NAME)};
const std::vector<std::string> kJunctionModes = {KVTLNK_JUNCTION_MODES(KVTLNK_TEST_NAME)};
#undef KVTLNK_TEST_NAME

// The names of a table of the library in the order of their codes; a sensor table's "none"
// stands for no sensor, which no function takes.
std::vector<std::string> named(const NameTable& table, bool sensors = false) {
    std::vector<std::string> names;
    for (uint32_t i = sensors ? 1 : 0; i < table.count; ++i)
        names.push_back(table.rows[i].name);
    return names;
}

// The names of a universe that a setter takes.
template <typename Setter>
std::vector<std::string> taken(const std::vector<std::string>& universe, Setter setter) {
    std::vector<std::string> names;
    for (const std::string& name : universe) {
        STAinit();
        const uint32_t rc = setter(name.c_str());
        if (rc != KVTLNK_E_ARGUMENT && rc != KVTLNK_E_COMBINATION) names.push_back(name);
    }
    return names;
}

TEST(HeaderTables, EachSettersNamesAreThoseItTakes) {
    EXPECT_EQ(kThermocouples, named(kTcNames, true));
    EXPECT_EQ(kRtds, named(kRtdNames, true));
    EXPECT_EQ(kStandards, named(kTempStdNames));
    EXPECT_EQ(kJunctionModes, named(kTrefModeNames));
    EXPECT_EQ(kLoopPower, named(kLoopPowerNames));

    std::vector<std::string> units, functions;
    for (const Row& u : kUnits)
        units.push_back(u.name);
    for (const Row& f : kFunctions)
        functions.push_back(f.name);
    EXPECT_EQ(kTemperatureUnits, taken(units, STAsetTempUnits));
    EXPECT_EQ(kPressureUnits, taken(units, STAsetPresUnits));
    // A temperature function with a sensor of its own kind; an output at a value every range
    // of a sourced function holds, so that only the function decides.
    const auto sensor = [](const std::string& f) {
        return f == "tc" ? "tc_k" : f.find("rtd") != std::string::npos ? "rtd_pt100_385" : "";
    };
    EXPECT_EQ(kInputFunctions,
              taken(functions, [&](const char* f) { return STAsetInput(f, sensor(f)); }));
    EXPECT_EQ(kOutputFunctions, taken(functions, [&](const char* f) {
                  return STAsetOutput(f, sensor(f), 100.0f, 1.0f);
              }));
}

// Each measure range of an electrical function is a row of the header, with the step of its
// display format in base units; and the header has no other row.
TEST(HeaderTables, InputRangesAreTheLibrarys) {
    struct Range {
        const char* function;
        float high;
        double resolution;
    };
#define KVTLNK_TEST_RANGE(function, high, resolution) {function, high, resolution},
    const Range kRanges[] = {KVTLNK_INPUT_RANGES(KVTLNK_TEST_RANGE)};
#undef KVTLNK_TEST_RANGE
    const auto prefixFactor = [](uint32_t prefix) {
        switch (prefix) {
            case kPrefixMicro:
                return 1e-6;
            case kPrefixMilli:
                return 1e-3;
            case kPrefixKilo:
                return 1e3;
            case kPrefixMega:
                return 1e6;
            default:
                return 1.0;
        }
    };
    size_t electrical = 0;
    for (RangeTable t = inputRanges; *t != nullptr; ++t) {
        const RangeGroup& g = **t;
        if (g.units == kUnitCelsius || g.units == kUnitFahrenheit) continue;
        for (uint32_t n = g.first; n <= g.last; ++n) {
            const RangeEntry& e = g.entries[n - g.first];
            const char* name = nameOf(kFunctionNames, g.function);
            const int decimals = std::atoi(std::strchr(e.format, '.') + 1);
            const double step = std::pow(10.0, -decimals) * prefixFactor(e.prefix);
            ++electrical;
            bool found = false;
            for (const Range& r : kRanges) {
                if (std::strcmp(r.function, name) != 0 || r.high != e.high) continue;
                EXPECT_NEAR(r.resolution, step, step * 1e-9) << name << " up to " << e.high;
                found = true;
            }
            EXPECT_TRUE(found) << name << " up to " << e.high;
        }
    }
    EXPECT_EQ(std::size(kRanges), electrical);
}

}  // namespace
}  // namespace kvtlnk
