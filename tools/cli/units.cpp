#include "units.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kvtcli {

UnitFamily unitFamily(const std::string& function) {
    if (function.empty() || function == "none") return UnitFamily::None;
    if (function == "tc" || function.find("_rtd") != std::string::npos) {
        return UnitFamily::Temperature;
    }
    return function == "pressure" ? UnitFamily::Pressure : UnitFamily::Electrical;
}

std::string unitSymbol(const std::string& function, const std::string& temperatureUnits,
                       const std::string& pressureUnits) {
    static const struct {
        const char* name;
        const char* symbol;
    } kSymbols[] = {
        {"current", "A"},    {"current_sink", "A"}, {"dcv", "V"},      {"acv", "V"},
        {"freq", "Hz"},      {"freq_low", "Hz"},    {"ohms", "Ω"},     {"cont", "Ω"},
        {"celsius", "°C"},   {"fahrenheit", "°F"},  {"mm_hg", "mmHg"}, {"in_hg", "inHg"},
        {"in_h2o", "inH₂O"}, {"ft_h2o", "ftH₂O"},   {"kpa", "kPa"},
    };
    std::string name = function;
    if (unitFamily(function) == UnitFamily::Temperature) name = temperatureUnits;
    if (unitFamily(function) == UnitFamily::Pressure) name = pressureUnits;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, "_ohms") == 0) name = "ohms";
    for (const auto& s : kSymbols) {
        if (name == s.name) return s.symbol;
    }
    return name == "none" ? "" : name;  // "psi", "bar"
}

DisplayUnit displayUnit(double magnitude, const std::string& unit) {
    static const char* const kElectrical[] = {"A", "V", "Hz", "Ω"};
    bool electrical = false;
    for (const char* u : kElectrical)
        electrical = electrical || unit == u;
    magnitude = std::fabs(magnitude);
    if (!electrical || magnitude == 0 || !std::isfinite(magnitude)) return {1, unit};
    static const struct {
        double factor;
        const char* prefix;
    } kPrefixes[] = {{1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "µ"}};
    for (const auto& p : kPrefixes) {
        // 0.9999995 A rounds to 1 A, not to 1000 mA.
        if (magnitude >= p.factor * 0.9999995) return {p.factor, p.prefix + unit};
    }
    return {1e-6, "µ" + unit};
}

std::string number(double value, int digits) {
    if (std::isnan(value)) return "";
    if (value == 0) return "0";  // and not "-0"
    return fmt::format("{:.{}g}", value, digits);
}

std::string shortest(float value) {
    return std::isnan(value) ? "" : fmt::format("{}", value);
}

double decimal(float value) {
    const std::string text = shortest(value);
    double d = value;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return d;
}

std::string quantity(double value, const std::string& unit, int digits) {
    const DisplayUnit d = displayUnit(value, unit);
    const std::string n = number(value / d.factor, digits);
    return d.symbol.empty() ? n : n + " " + d.symbol;
}

std::string quantityRange(double low, double high, const std::string& unit) {
    const double larger = std::max(std::fabs(low), std::fabs(high));
    const DisplayUnit d = displayUnit(larger, unit);
    // An end that is 0 but for rounding shows as 0; one far below the other in its own prefix.
    if (std::fabs(low) < larger * 1e-9) low = 0;
    if (std::fabs(high) < larger * 1e-9) high = 0;
    const std::string lowText = low != 0 && std::fabs(low / d.factor) < 0.1
                                    ? quantity(low, unit, 4)
                                    : number(low / d.factor, 4);
    return lowText + " to " + number(high / d.factor, 4) + (d.symbol.empty() ? "" : " " + d.symbol);
}

}  // namespace kvtcli
