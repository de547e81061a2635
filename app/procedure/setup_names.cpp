#include "procedure/setup_names.h"

#include <algorithm>
#include <cctype>

#include "base/units.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtapp {

#define KVTCLI_NAME(name) name,
const Names kInputFunctions = {KVTLNK_INPUT_FUNCTIONS(KVTCLI_NAME)};
const Names kOutputFunctions = {KVTLNK_OUTPUT_FUNCTIONS(KVTCLI_NAME)};
const Names kThermocouples = {KVTLNK_THERMOCOUPLES(KVTCLI_NAME)};
const Names kRtds = {KVTLNK_RTDS(KVTCLI_NAME)};
const Names kTemperatureUnits = {KVTLNK_TEMPERATURE_UNITS(KVTCLI_NAME)};
const Names kPressureUnits = {KVTLNK_PRESSURE_UNITS(KVTCLI_NAME)};
const Names kLoopPower = {KVTLNK_LOOP_POWER(KVTCLI_NAME)};
const Names kStandards = {KVTLNK_TEMPERATURE_STANDARDS(KVTCLI_NAME)};
const Names kJunctionModes = {KVTLNK_JUNCTION_MODES(KVTCLI_NAME)};
#undef KVTCLI_NAME

bool among(const Names& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string unknownName(const std::string& name, const std::string& what, const Names& valid) {
    std::string list;
    for (const std::string& v : valid)
        list += (list.empty() ? "" : ", ") + v;
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return "\"" + name + "\" is not " + what + " (" + list + ")" +
           (lower != name && among(valid, lower) ? ": names are lowercase, \"" + lower + "\"" : "");
}

const Names* sensorsOf(const std::string& function) {
    if (function == "tc") return &kThermocouples;
    return unitFamily(function) == UnitFamily::Temperature ? &kRtds : nullptr;
}

}  // namespace kvtapp
