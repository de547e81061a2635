#include "setup/name_tables.h"

#include <gtest/gtest.h>

#include <vector>

namespace kvtlnk {
namespace {

struct TableFacts {
    const NameTable* table;
    std::vector<const char*> names;  // in code order
};

TEST(NameTables, EveryNameAndCode) {
    const TableFacts facts[] = {
        {&kFunctionNames,
         {"none", "current", "dcv", "acv", "freq", "freq_low", "2w_ohms", "3w_ohms", "4w_ohms",
          "cont", "tc", "2w_rtd", "3w_rtd", "4w_rtd", "pressure", "current_sink"}},
        {&kUnitNames,
         {"none", "volts", "amps", "ohms", "hertz", "seconds", "celsius", "fahrenheit", "percent",
          "psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar", "kpa", "udf"}},
        {&kRtdNames,
         {"none", "rtd_pt100_392", "rtd_pt100_385", "rtd_ni120", "rtd_pt200_385", "rtd_pt500_385",
          "rtd_pt1000_385", "rtd_cu10", "rtd_pt100_3916"}},
        {&kTcNames,
         {"none", "tc_e", "tc_n", "tc_j", "tc_k", "tc_t", "tc_b", "tc_r", "tc_s", "tc_c", "tc_l",
          "tc_u"}},
        {&kLoopPowerNames, {"none", "off", "24v", "28v"}},
        {&kTempStdNames, {"its90", "ipts68"}},
        {&kTrefModeNames, {"measure", "user"}},
    };
    for (const TableFacts& f : facts) {
        const uint32_t count = static_cast<uint32_t>(f.names.size());
        ASSERT_EQ(f.table->count, count) << f.names[1];
        for (uint32_t code = 0; code < count; ++code) {
            EXPECT_EQ(codeOf(*f.table, f.names[code]), code) << f.names[code];
            EXPECT_STREQ(nameOf(*f.table, code), f.names[code]);
        }
        // A miss is one past the last code; a code with no row has no name.
        EXPECT_EQ(nameOf(*f.table, count), nullptr);
        EXPECT_EQ(codeOf(*f.table, nullptr), count);
        EXPECT_EQ(codeOf(*f.table, ""), count);
    }
}

TEST(NameTables, NamesMatchExactly) {
    struct Miss {
        const NameTable* table;
        const char* name;
    };
    const Miss misses[] = {
        {&kTempStdNames, "ITS90"}, {&kTempStdNames, "none"},  {&kTrefModeNames, "none"},
        {&kTcNames, "TC_K"},       {&kTcNames, "tc_k "},      {&kTcNames, "tc-k"},
        {&kFunctionNames, "Dcv"},  {&kFunctionNames, "dc"},   {&kFunctionNames, "dcvx"},
        {&kRtdNames, "rtd_pt100"}, {&kUnitNames, "celsius "}, {&kLoopPowerNames, "24V"},
    };
    for (const Miss& m : misses) {
        EXPECT_EQ(codeOf(*m.table, m.name), m.table->count) << m.name;
    }
    EXPECT_EQ(codeOf(kTempStdNames, "its90"), 0u);
    EXPECT_EQ(codeOf(kTrefModeNames, "user"), 1u);
}

TEST(NameTables, StatusToResult) {
    const uint32_t map[][2] = {
        {0, 0},        {10007, 100},  {10020, 101},  {10021, 102},  {10027, 103},
        {10028, 104},  {10029, 105},  {15000, 2000}, {15004, 2001}, {15005, 2002},
        {15006, 2003}, {15009, 2004}, {15013, 2005}, {15014, 2006}, {15015, 2007},
        {15016, 2008}, {15017, 2009}, {15018, 2010}, {15019, 2011}, {15027, 2012},
    };
    for (const auto& row : map)
        EXPECT_EQ(statusToResult(row[0]), row[1]) << row[0];
    for (uint32_t unknown : {1u, 10008u, 12345u, 15001u, 15032u, 65535u, 0x10000u + 15004u}) {
        EXPECT_EQ(statusToResult(unknown), 0u) << unknown;
    }
}

}  // namespace
}  // namespace kvtlnk
