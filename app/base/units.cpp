#include "base/units.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/charset.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtapp {

namespace {

struct Named {
    const char* name;
    const char* value;  // a function's unit, a unit's symbol
};
#define KVTCLI_ROW(name, value) {name, value},
constexpr Named kFunctions[] = {KVTLNK_FUNCTIONS(KVTCLI_ROW)};
constexpr Named kUnits[] = {KVTLNK_UNITS(KVTCLI_ROW)};
#undef KVTCLI_ROW

template <size_t N>
const char* lookUp(const Named (&table)[N], const std::string& name) {
    for (const Named& row : table) {
        if (name == row.name) return row.value;
    }
    return nullptr;
}

// The unit a function's values are in: a unit's name, "temperature" or "pressure"; "none" for a
// name the library does not have.
std::string unitOf(const std::string& function) {
    const char* unit = lookUp(kFunctions, function);
    return unit != nullptr ? unit : "none";
}

struct InputRange {
    const char* function;
    float high;
    double step;
};
#define KVTCLI_RANGE(function, high, step) {function, high, step},
constexpr InputRange kInputRanges[] = {KVTLNK_INPUT_RANGES(KVTCLI_RANGE)};
#undef KVTCLI_RANGE

// The number of decimals that show a step ("0.001": 3); none for a step of 1 or more.
int decimalsOf(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

}  // namespace

double inputRangeStep(const std::string& function, float rangeHigh) {
    for (const InputRange& r : kInputRanges) {
        if (function == r.function && rangeHigh == r.high) return r.step;
    }
    return std::nan("");
}

double displayStep(const std::string& text) {
    const size_t first = text.find_first_of("0123456789");
    if (first == std::string::npos) return std::nan("");
    size_t at = first;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
        ++at;
    int decimals = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        while (++at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            ++decimals;
    }
    int exponent = 0;
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e'))
        exponent = std::atoi(&text[at + 1]);
    return std::pow(10.0, exponent - decimals);
}

std::string stepped(double value, double step, double unitFactor) {
    if (std::isnan(value)) return "";
    if (!(step > 0)) return number(value / unitFactor);
    const double shownStep = step / unitFactor;
    const double rounded = std::round(value / step) * shownStep;
    return fmt::format("{:.{}f}", rounded == 0 ? 0.0 : rounded, decimalsOf(shownStep));
}

UnitFamily unitFamily(const std::string& function) {
    const std::string unit = unitOf(function);
    if (unit == "none") return UnitFamily::None;
    if (unit == "temperature") return UnitFamily::Temperature;
    return unit == "pressure" ? UnitFamily::Pressure : UnitFamily::Electrical;
}

std::string unitSymbol(const std::string& function, const std::string& temperatureUnits,
                       const std::string& pressureUnits) {
    std::string unit = lookUp(kFunctions, function) != nullptr ? unitOf(function) : function;
    if (unit == "temperature") unit = temperatureUnits;
    if (unit == "pressure") unit = pressureUnits;
    const char* symbol = lookUp(kUnits, unit);
    if (symbol != nullptr) return toUtf8(symbol);
    return unit == "none" ? "" : unit;
}

DisplayUnit displayUnit(double magnitude, const std::string& unit) {
    bool electrical = false;
    for (const Named& f : kFunctions) {
        const char* symbol =
            unitFamily(f.name) == UnitFamily::Electrical ? lookUp(kUnits, f.value) : nullptr;
        electrical = electrical || (symbol != nullptr && unit == toUtf8(symbol));
    }
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

std::string plainNumber(double value, int digits) {
    if (std::isnan(value) || std::isinf(value)) return "";
    if (value == 0) return "0";
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::clamp(digits - 1 - magnitude, 0, 30);
    std::string text = fmt::format("{:.{}f}", value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
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

}  // namespace kvtapp
