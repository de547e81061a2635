#include "setup/name_tables.h"

#include <cstring>

namespace kvtlnk {

namespace {

template <uint32_t N>
constexpr NameTable tableOf(const NameRow (&rows)[N]) {
    return NameTable{rows, N};
}

const NameRow kFunctionRows[] = {
    {"none", 0},    {"current", 1},  {"dcv", 2},       {"acv", 3},
    {"freq", 4},    {"freq_low", 5}, {"2w_ohms", 6},   {"3w_ohms", 7},
    {"4w_ohms", 8}, {"cont", 9},     {"tc", 10},       {"2w_rtd", 11},
    {"3w_rtd", 12}, {"4w_rtd", 13},  {"pressure", 14}, {"current_sink", 15},
};

const NameRow kUnitRows[] = {
    {"none", 0},    {"volts", 1},      {"amps", 2},    {"ohms", 3}, {"hertz", 4},  {"seconds", 5},
    {"celsius", 6}, {"fahrenheit", 7}, {"percent", 8}, {"psi", 9},  {"mm_hg", 10}, {"in_hg", 11},
    {"in_h2o", 12}, {"ft_h2o", 13},    {"bar", 14},    {"kpa", 15}, {"udf", 16},
};

const NameRow kRtdRows[] = {
    {"none", 0},           {"rtd_pt100_392", 1}, {"rtd_pt100_385", 2},
    {"rtd_ni120", 3},      {"rtd_pt200_385", 4}, {"rtd_pt500_385", 5},
    {"rtd_pt1000_385", 6}, {"rtd_cu10", 7},      {"rtd_pt100_3916", 8},
};

const NameRow kTcRows[] = {
    {"none", 0}, {"tc_e", 1}, {"tc_n", 2}, {"tc_j", 3}, {"tc_k", 4},  {"tc_t", 5},
    {"tc_b", 6}, {"tc_r", 7}, {"tc_s", 8}, {"tc_c", 9}, {"tc_l", 10}, {"tc_u", 11},
};

const NameRow kLoopPowerRows[] = {{"none", 0}, {"off", 1}, {"24v", 2}, {"28v", 3}};
const NameRow kTempStdRows[] = {{"its90", 0}, {"ipts68", 1}};
const NameRow kTrefModeRows[] = {{"measure", 0}, {"user", 1}};

struct StatusRow {
    uint32_t result;
    uint16_t status;
};

const StatusRow kStatusMap[] = {
    {0, 0},        {100, 10007},  {101, 10020},  {102, 10021},  {103, 10027},
    {104, 10028},  {105, 10029},  {2000, 15000}, {2001, 15004}, {2002, 15005},
    {2003, 15006}, {2004, 15009}, {2005, 15013}, {2006, 15014}, {2007, 15015},
    {2008, 15016}, {2009, 15017}, {2010, 15018}, {2011, 15019}, {2012, 15027},
};

}  // namespace

const NameTable kFunctionNames = tableOf(kFunctionRows);
const NameTable kUnitNames = tableOf(kUnitRows);
const NameTable kRtdNames = tableOf(kRtdRows);
const NameTable kTcNames = tableOf(kTcRows);
const NameTable kLoopPowerNames = tableOf(kLoopPowerRows);
const NameTable kTempStdNames = tableOf(kTempStdRows);
const NameTable kTrefModeNames = tableOf(kTrefModeRows);

uint32_t codeOf(const NameTable& table, const char* name) {
    if (name == nullptr) return table.count;
    for (uint32_t i = 0; i < table.count; ++i) {
        if (std::strcmp(table.rows[i].name, name) == 0) return table.rows[i].code;
    }
    return table.count;
}

const char* nameOf(const NameTable& table, uint32_t code) {
    for (uint32_t i = 0; i < table.count; ++i) {
        if (table.rows[i].code == code) return table.rows[i].name;
    }
    return nullptr;
}

uint32_t statusToResult(uint32_t status) {
    for (const StatusRow& row : kStatusMap) {
        if (row.status == status) return row.result;
    }
    return 0;
}

}  // namespace kvtlnk
