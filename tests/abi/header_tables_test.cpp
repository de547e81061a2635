// The tables of the public header against the library's own: the names the STA calls take, the
// symbols the display shows, and the units each function is set in.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kvtlnk/kvtlnk.h"
#include "setup/name_tables.h"
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

}  // namespace
}  // namespace kvtlnk
