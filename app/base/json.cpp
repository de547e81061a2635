#include "base/json.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "base/units.h"

namespace kvtapp {

std::string dumpJson(const nlohmann::ordered_json& value) {
    const std::string text =
        value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    // The C0 controls are escaped already; DEL and the C1 controls (UTF-8 C2 80 ... C2 9F)
    // become \u escapes too, so that the text is safe on a terminal and reads as the same JSON.
    // Outside strings JSON text is ASCII, so every such byte stands in a string.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 =
            c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (c == 0x7F || c1) {
            out += fmt::format("\\u{:04x}", c1 ? static_cast<unsigned char>(text[++i]) : c);
        } else {
            out += text[i];
        }
    }
    return out;
}

nlohmann::ordered_json floatJson(float value) {
    return std::isnan(value) ? nlohmann::ordered_json(nullptr)
                             : nlohmann::ordered_json(decimal(value));
}

const nlohmann::ordered_json& memberAt(const nlohmann::ordered_json& object, const char* key) {
    static const nlohmann::ordered_json none;
    if (!object.is_object()) return none;
    const auto it = object.find(key);
    return it == object.end() ? none : *it;
}

std::string textAt(const nlohmann::ordered_json& object, const char* key) {
    const nlohmann::ordered_json& v = memberAt(object, key);
    return v.is_string() ? v.get<std::string>() : "";
}

double numberAt(const nlohmann::ordered_json& object, const char* key) {
    const nlohmann::ordered_json& v = memberAt(object, key);
    return v.is_number() ? v.get<double>() : std::nan("");
}

float floatOf(const nlohmann::ordered_json& value) {
    const double v = value.is_number() ? value.get<double>() : std::nan("");
    if (std::fabs(v) > std::numeric_limits<float>::max()) return v > 0 ? HUGE_VALF : -HUGE_VALF;
    return static_cast<float>(v);
}

float floatAt(const nlohmann::ordered_json& object, const char* key) {
    return floatOf(memberAt(object, key));
}

int64_t wholeAt(const nlohmann::ordered_json& object, const char* key, int64_t fallback) {
    const nlohmann::ordered_json& v = memberAt(object, key);
    if (v.is_number_integer() && !(v.is_number_unsigned() && v.get<uint64_t>() > INT64_MAX))
        return v.get<int64_t>();
    return fallback;
}

bool flagAt(const nlohmann::ordered_json& object, const char* key) {
    const nlohmann::ordered_json& v = memberAt(object, key);
    return v.is_boolean() && v.get<bool>();
}

std::string describeType(const nlohmann::ordered_json& value) {
    switch (value.type()) {
        case nlohmann::ordered_json::value_t::null:
            return "null";
        case nlohmann::ordered_json::value_t::object:
            return "an object";
        case nlohmann::ordered_json::value_t::array:
            return "a list";
        case nlohmann::ordered_json::value_t::string:
            return "a text";
        case nlohmann::ordered_json::value_t::boolean:
            return "true or false";
        default:
            return "a number";
    }
}

}  // namespace kvtapp
