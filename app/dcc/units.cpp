// The instrument's units as D-SI writes them: an SI prefix and a unit, each a backslash word.
#include <utility>

#include "dcc/dcc.h"

namespace kvtapp {

namespace {

// The units a calibrator's functions show, and those D-SI accepts beside the SI (bar, mmHg,
// percent). Pressures in psi, inches or feet of water and mercury, °F and user-defined units
// have no D-SI name.
const std::pair<const char*, const char*> kUnits[] = {
    {"A", "\\ampere"},  {"V", "\\volt"},           {"Ω", "\\ohm"},     {"Hz", "\\hertz"},
    {"s", "\\second"},  {"°C", "\\degreecelsius"}, {"%", "\\percent"}, {"bar", "\\bar"},
    {"Pa", "\\pascal"}, {"mmHg", "\\mmhg"},        {"1", "\\one"},
};

// Prefixes an electrical value is shown with, and kPa.
const std::pair<const char*, const char*> kPrefixes[] = {
    {"M", "\\mega"}, {"k", "\\kilo"}, {"m", "\\milli"}, {"µ", "\\micro"}};

std::optional<std::string> unprefixed(const std::string& symbol) {
    for (const auto& [shown, dsi] : kUnits) {
        if (symbol == shown) return std::string(dsi);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> dsiUnit(const std::string& symbol) {
    if (std::optional<std::string> unit = unprefixed(symbol)) return unit;
    for (const auto& [shown, dsi] : kPrefixes) {
        const std::string prefix = shown;
        if (symbol.size() <= prefix.size() || symbol.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = symbol.substr(prefix.size());
        // A prefix goes with an SI unit only: "mmHg" is not a milli-mHg, "m%" nothing.
        if (rest == "%" || rest == "°C" || rest == "bar" || rest == "mmHg" || rest == "1")
            return std::nullopt;
        if (std::optional<std::string> unit = unprefixed(rest)) return dsi + *unit;
    }
    return std::nullopt;
}

}  // namespace kvtapp
