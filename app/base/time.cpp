#include "base/time.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <cstdio>
#include <ctime>

namespace kvtapp {

std::string localTime() {
    return fmt::format("{:%Y-%m-%d %H:%M:%S}", fmt::localtime(std::time(nullptr)));
}

std::string utcTime() {
    return fmt::format("{:%Y-%m-%dT%H:%M:%SZ}", fmt::gmtime(std::time(nullptr)));
}

std::string localFileTime() {
    return fmt::format("{:%Y%m%d-%H%M%S}", fmt::localtime(std::time(nullptr)));
}

std::string stampText(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
                      uint32_t second) {
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", year, month, day, hour, minute,
                       second);
}

std::string listingStampText(uint32_t year, uint32_t month, uint32_t day, uint32_t hour,
                             uint32_t minute, uint32_t second) {
    return fmt::format("{:02}/{:02}/{} {:02}:{:02}:{:02}", month, day, year, hour, minute, second);
}

// After H. Hinnant's algorithms for days from civil dates and back.
int64_t dayNumber(int year, int month, int day) {
    const int64_t y = year - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t today() {
    const std::tm local = fmt::localtime(std::time(nullptr));
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::optional<int64_t> dayOfStamp(const std::string& stamp) {
    int year = 0, month = 0, day = 0;
    char end = 0;
    if (stamp.size() < 10 ||
        std::sscanf(stamp.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &end) < 3) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    return dayNumber(year, month, day);
}

std::string dateOfDay(int64_t day) {
    const int64_t z = day + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t d = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yearOfEra + era * 400 + (m <= 2);
    return fmt::format("{:04}-{:02}-{:02}", y, m, d);
}

}  // namespace kvtapp
