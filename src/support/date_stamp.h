#pragma once

#include <cstdint>
#include <ctime>

namespace kvtlnk {

// The calibrator's 7-byte date and time of a record or of a log: one unsigned byte each, in
// this order on the wire and in setup records. The ranges are those of a clock that keeps
// time; a stamp from the calibrator is kept as it came, whatever its clock said.
struct DateStamp {
    uint8_t second = 0;   // 0-59
    uint8_t minute = 0;   // 0-59
    uint8_t hour = 0;     // 0-23
    uint8_t weekday = 0;  // 0 = Sunday ... 6 = Saturday
    uint8_t day = 1;      // 1-31
    uint8_t month = 1;    // 1-12
    uint8_t year = 0;     // full year - 1992

    static constexpr int kBaseYear = 1992;
    static constexpr int kSize = 7;

    int fullYear() const { return year + kBaseYear; }
    bool operator==(const DateStamp& o) const;
    bool operator!=(const DateStamp& o) const { return !(*this == o); }

    // The 7 bytes in wire order, as setup records carry them, and back.
    void toBytes(uint8_t* out) const;
    static DateStamp fromBytes(const uint8_t* in);
};

// 1 January 1992 00:00:00, weekday 0.
inline DateStamp emptyStamp() {
    return DateStamp{};
}

// A calendar time broken down in local time.
DateStamp stampFromLocalTime(const std::tm& local);

// The PC's current local date and time.
DateStamp stampNow();

}  // namespace kvtlnk
