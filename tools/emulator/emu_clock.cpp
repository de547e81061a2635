#include "emu_clock.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <regex>

namespace k27emu {
namespace {

// Spans beyond this (about two centuries) cannot move the clock anywhere its stamps hold.
constexpr int64_t kMaxOffset = int64_t{200} * 366 * 86400;

}  // namespace

int64_t hostSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

DateStamp stampAt(int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return kvttools::stampOf(local);
}

int64_t secondsOf(const DateStamp& stamp) {
    std::tm t{};
    t.tm_year = stamp.fullYear() - 1900;
    t.tm_mon = stamp.month - 1;
    t.tm_mday = stamp.day;
    t.tm_hour = stamp.hour;
    t.tm_min = stamp.minute;
    t.tm_sec = stamp.second;
    t.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&t));
}

bool parseClock(const std::string& text, int64_t* seconds, std::string* error) {
    static const std::regex form(R"((\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})(?::(\d{2}))?)");
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        *error = "\"" + text + "\" is not a date and time such as 2027-01-15T09:00";
        return false;
    }
    std::tm t{};
    t.tm_year = std::stoi(m[1]) - 1900;
    t.tm_mon = std::stoi(m[2]) - 1;
    t.tm_mday = std::stoi(m[3]);
    t.tm_hour = std::stoi(m[4]);
    t.tm_min = std::stoi(m[5]);
    t.tm_sec = m[6].matched ? std::stoi(m[6]) : 0;
    t.tm_isdst = -1;
    const std::tm asked = t;
    const std::time_t at = std::mktime(&t);
    // mktime carries a day 31 of a 30-day month over; such a date is not one.
    const bool real = at != static_cast<std::time_t>(-1) && t.tm_mon == asked.tm_mon &&
                      t.tm_mday == asked.tm_mday && asked.tm_hour < 24 && asked.tm_min < 60 &&
                      asked.tm_sec < 60;
    const int year = asked.tm_year + 1900;
    if (!real || year < kFirstYear || year > kLastYear) {
        *error = "\"" + text + "\" is not a date and time between " + std::to_string(kFirstYear) +
                 " and " + std::to_string(kLastYear) + ", the years the calibrator's stamps hold";
        return false;
    }
    *seconds = static_cast<int64_t>(at);
    return true;
}

bool parseClockOffset(const std::string& text, int64_t* seconds, std::string* error) {
    static const std::regex form(R"(([+-]?)(\d{1,9})(s|min|h|d|w))");
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
        *error = "\"" + text +
                 "\" is not a span such as 30d: a whole number and s, min, h, d or w, with - "
                 "to go back";
        return false;
    }
    const std::string unit = m[3];
    const int64_t per = unit == "s"     ? 1
                        : unit == "min" ? 60
                        : unit == "h"   ? 3600
                        : unit == "d"   ? 86400
                                        : 7 * 86400;
    const int64_t span = std::stoll(m[2]) * per;
    if (span > kMaxOffset) {
        *error = "\"" + text + "\" moves the clock beyond the years the calibrator's stamps hold";
        return false;
    }
    *seconds = m[1] == "-" ? -span : span;
    return true;
}

std::string formatOffset(int64_t seconds) {
    const char sign = seconds < 0 ? '-' : '+';
    const uint64_t s =
        seconds < 0 ? static_cast<uint64_t>(-seconds) : static_cast<uint64_t>(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%c%" PRIu64 "d %02u:%02u:%02u", sign, s / 86400,
                  static_cast<unsigned>(s / 3600 % 24), static_cast<unsigned>(s / 60 % 60),
                  static_cast<unsigned>(s % 60));
    return text;
}

}  // namespace k27emu
