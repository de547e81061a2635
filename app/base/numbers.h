// Numbers and dates as a person gives them: an argument, a field of a form, a key of the lab
// file. A number is taken whole or not at all: digits only (a decimal point in a decimal), a
// minus sign only before a number below zero, no spaces, no plus sign, no exponent, no "-0".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace kvtapp {

std::optional<int64_t> wholeNumber(std::string_view text, int64_t low, int64_t high);
std::optional<double> decimalNumber(std::string_view text, double low, double high);
// "2025-01-31", a day of the calendar from year 1 to 9999: its day number (dayNumber).
std::optional<int64_t> calendarDay(std::string_view text);

// The same for a named argument, refused with an input Error that names it and says what
// belongs there: "--within \"-0\" is not an interval: give ...".
int64_t wholeArgument(const std::string& argument, const std::string& text, int64_t low,
                      int64_t high, const std::string& what);
// A day given as "2025-01-31".
int64_t dayArgument(const std::string& argument, const std::string& text);
Error notArgument(const std::string& argument, const std::string& text, const std::string& what);

}  // namespace kvtapp
