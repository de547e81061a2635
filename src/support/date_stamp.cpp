#include "support/date_stamp.h"

#include <cstring>

namespace kvtlnk {

bool DateStamp::operator==(const DateStamp& o) const {
    return second == o.second && minute == o.minute && hour == o.hour && weekday == o.weekday &&
           day == o.day && month == o.month && year == o.year;
}

void DateStamp::toBytes(uint8_t* out) const {
    const uint8_t bytes[kSize] = {second, minute, hour, weekday, day, month, year};
    std::memcpy(out, bytes, kSize);
}

DateStamp DateStamp::fromBytes(const uint8_t* in) {
    DateStamp s;
    s.second = in[0];
    s.minute = in[1];
    s.hour = in[2];
    s.weekday = in[3];
    s.day = in[4];
    s.month = in[5];
    s.year = in[6];
    return s;
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
