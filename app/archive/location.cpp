// Where the archive is, and the calendar days that due dates count in.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "archive.h"

namespace kvtarchive {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (home.empty()) {
        const passwd* user = getpwuid(getuid());
        if (user && user->pw_dir) home = user->pw_dir;
    }
    return home;
}

}  // namespace

std::string archiveLocation(const std::string& option, const std::string& labDefault) {
    if (!option.empty()) return option;
    const std::string fromEnvironment = environment("KVTLNK_ARCHIVE");
    if (!fromEnvironment.empty()) return fromEnvironment;
    if (!labDefault.empty()) return labDefault;
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') data = homeFolder() + "/.local/share";
    return data + "/kvtlnk/records.db";
}

bool isPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

// Days from 1970-01-01 in the proleptic Gregorian calendar (after H. Hinnant's algorithm).
int64_t dayNumber(int year, int month, int day) {
    const int64_t y = year - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
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
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d));
    return text;
}

}  // namespace kvtarchive
