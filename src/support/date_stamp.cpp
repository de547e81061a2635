#include "support/date_stamp.h"

namespace kvtlnk {

bool DateStamp::operator==(const DateStamp& o) const {
    return second == o.second && minute == o.minute && hour == o.hour && weekday == o.weekday &&
           day == o.day && month == o.month && year == o.year;
}

DateStamp stampFromLocalTime(const std::tm& local) {
    DateStamp s;
    s.second = static_cast<uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
    s.minute = static_cast<uint8_t>(local.tm_min);
    s.hour = static_cast<uint8_t>(local.tm_hour);
    s.weekday = static_cast<uint8_t>(local.tm_wday);
    s.day = static_cast<uint8_t>(local.tm_mday);
    s.month = static_cast<uint8_t>(local.tm_mon + 1);
    // The year byte is the year since 1992, taken modulo 100.
    const int sinceBase = local.tm_year + 1900 - DateStamp::kBaseYear;
    s.year = static_cast<uint8_t>(((sinceBase % 100) + 100) % 100);
    return s;
}

DateStamp stampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return stampFromLocalTime(local);
}

}  // namespace kvtlnk
