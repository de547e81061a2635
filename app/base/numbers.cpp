#include "base/numbers.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/time.h"

namespace kvtapp {
namespace {

bool digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// The text without its minus sign, when the sign may stand there and the number it signs is
// not zero; nothing when the sign may not.
std::optional<std::string_view> magnitudeOf(std::string_view text, bool negativeAllowed) {
    if (text.empty() || text[0] != '-') return text;
    const std::string_view rest = text.substr(1);
    if (!negativeAllowed || rest.find_first_not_of("0.") == std::string_view::npos) {
        return std::nullopt;
    }
    return rest;
}

}  // namespace

std::optional<int64_t> wholeNumber(std::string_view text, int64_t low, int64_t high) {
    const std::optional<std::string_view> magnitude = magnitudeOf(text, low < 0);
    if (!magnitude || !digits(*magnitude)) return std::nullopt;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<double> decimalNumber(std::string_view text, double low, double high) {
    const std::optional<std::string_view> magnitude = magnitudeOf(text, low < 0);
    if (!magnitude) return std::nullopt;
    const size_t point = magnitude->find('.');
    if (!digits(magnitude->substr(0, point)) ||
        (point != std::string_view::npos && !digits(magnitude->substr(point + 1)))) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!(value >= low && value <= high)) return std::nullopt;
    return value;
}

std::optional<int64_t> calendarDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const std::optional<int64_t> year = wholeNumber(text.substr(0, 4), 1, 9999);
    const std::optional<int64_t> month = wholeNumber(text.substr(5, 2), 1, 12);
    const std::optional<int64_t> day = wholeNumber(text.substr(8, 2), 1, 31);
    if (!year || !month || !day) return std::nullopt;
    const int y = static_cast<int>(*year), m = static_cast<int>(*month);
    const int64_t first = dayNumber(y, m, 1);
    const int64_t next = m == 12 ? dayNumber(y + 1, 1, 1) : dayNumber(y, m + 1, 1);
    if (*day > next - first) return std::nullopt;
    return first + *day - 1;
}

Error notArgument(const std::string& argument, const std::string& text, const std::string& what) {
    return inputError(argument + " \"" + text + "\" is not " + what);
}

int64_t dayArgument(const std::string& argument, const std::string& text) {
    const std::optional<int64_t> day = calendarDay(text);
    if (!day) throw notArgument(argument, text, "a date: give one such as 2025-01-31");
    return *day;
}

int64_t wholeArgument(const std::string& argument, const std::string& text, int64_t low,
                      int64_t high, const std::string& what) {
    const std::optional<int64_t> value = wholeNumber(text, low, high);
    if (!value) throw notArgument(argument, text, what);
    return *value;
}

}  // namespace kvtapp
