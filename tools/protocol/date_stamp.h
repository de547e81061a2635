// The calibrator's date and time of an item or a log.
#pragma once

#include <cstdint>
#include <ctime>

namespace kvttools {

// Seven bytes, in this order in directory replies and inside setup items: second, minute,
// hour, weekday (0 = Sunday), day, month, and the year counted from 1992.
struct DateStamp {
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t weekday = 0;
    uint8_t day = 1;
    uint8_t month = 1;
    uint8_t year = 0;

    static constexpr int kBaseYear = 1992;
    static constexpr int kSize = 7;

    int fullYear() const { return year + kBaseYear; }
    void toBytes(uint8_t* out) const;

    bool operator==(const DateStamp& o) const;
    bool operator!=(const DateStamp& o) const { return !(*this == o); }
};

// A broken-down time as the calibrator stamps it: seconds past 59 (a leap second) held at 59,
// the year byte taken modulo 100.
DateStamp stampOf(const std::tm& t);

// The local date and time now.
DateStamp stampNow();

}  // namespace kvttools
