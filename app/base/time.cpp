#include "base/time.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
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

int daysInMonth(int64_t year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::optional<StampFields> stampFields(const std::string& stamp) {
    int64_t values[6] = {};
    const char* at = stamp.data();
    const char* const end = at + stamp.size();
    const char separators[] = {'-', '-', ' ', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (at == end && i == 3) break;  // a date alone
            if (at == end || *at != separators[i - 1]) return std::nullopt;
            ++at;
        }
        if (at == end || *at < '0' || *at > '9' || end - at > 64) return std::nullopt;
        const char* const start = at;
        const auto [next, error] = std::from_chars(at, end, values[i]);
        if (error != std::errc() || next - start > 9) return std::nullopt;
        at = next;
    }
    if (at != end) return std::nullopt;
    return StampFields{values[0], values[1], values[2], values[3], values[4], values[5]};
}

bool possibleStamp(const StampFields& f) {
    return f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= daysInMonth(f.year, static_cast<int>(f.month)) && f.hour <= 23 &&
           f.minute <= 59 && f.second <= 59;
}

namespace {

int64_t secondOf(const StampFields& f) {
    return dayNumber(static_cast<int>(f.year), static_cast<int>(f.month), static_cast<int>(f.day)) *
               86400 +
           f.hour * 3600 + f.minute * 60 + f.second;
}

}  // namespace

std::optional<int64_t> secondOfStamp(const std::string& stamp) {
    const std::optional<StampFields> f = stampFields(stamp);
    if (!f || !possibleStamp(*f)) return std::nullopt;
    return secondOf(*f);
}

std::optional<int64_t> nearestSecondOfStamp(const std::string& stamp) {
    std::optional<StampFields> f = stampFields(stamp);
    if (!f) return std::nullopt;
    f->year = std::min<int64_t>(f->year, 999999);
    f->month = std::clamp<int64_t>(f->month, 1, 12);
    f->day = std::clamp<int64_t>(f->day, 1, daysInMonth(f->year, static_cast<int>(f->month)));
    f->hour = std::min<int64_t>(f->hour, 23);
    f->minute = std::min<int64_t>(f->minute, 59);
    f->second = std::min<int64_t>(f->second, 59);
    return secondOf(*f);
}

std::optional<int64_t> dayOfStamp(const std::string& stamp) {
    const std::optional<StampFields> f = stampFields(stamp);
    if (!f || !possibleStamp(*f)) return std::nullopt;
    return dayNumber(static_cast<int>(f->year), static_cast<int>(f->month),
                     static_cast<int>(f->day));
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
