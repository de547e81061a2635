#include "protocol/date_stamp.h"

namespace kvttools {

void DateStamp::toBytes(uint8_t* out) const {
    const uint8_t bytes[kSize] = {second, minute, hour, weekday, day, month, year};
    for (int i = 0; i < kSize; ++i)
        out[i] = bytes[i];
}

bool DateStamp::operator==(const DateStamp& o) const {
    return second == o.second && minute == o.minute && hour == o.hour && weekday == o.weekday &&
           day == o.day && month == o.month && year == o.year;
}

DateStamp stampOf(const std::tm& t) {
    const int years = t.tm_year + 1900 - DateStamp::kBaseYear;
    DateStamp s;
    s.second = static_cast<uint8_t>(t.tm_sec > 59 ? 59 : t.tm_sec);
    s.minute = static_cast<uint8_t>(t.tm_min);
    s.hour = static_cast<uint8_t>(t.tm_hour);
    s.weekday = static_cast<uint8_t>(t.tm_wday);
    s.day = static_cast<uint8_t>(t.tm_mday);
    s.month = static_cast<uint8_t>(t.tm_mon + 1);
    s.year = static_cast<uint8_t>((years % 100 + 100) % 100);
    return s;
}

DateStamp stampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return stampOf(local);
}

}  // namespace kvttools
