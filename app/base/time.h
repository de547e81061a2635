// Dates and times as the application writes them, all in one place: the host's clock in the
// local calendar or in UTC, calendar days as numbers for due dates, and the stamps of results.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kvtapp {

// Now on the host's clock: "2024-05-02 14:10:00" in local time, "2024-05-02T12:10:00Z" in UTC,
// "20240502-141000" in local time for a file name.
std::string localTime();
std::string utcTime();
std::string localFileTime();

// A time of the calibrator's clock, as its fields came: "2024-05-02 14:10:00".
std::string stampText(uint32_t year, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
                      uint32_t second);

// The same time as MEMdump's listing writes it, month first: "05/02/2024 14:10:00".
std::string listingStampText(uint32_t year, uint32_t month, uint32_t day, uint32_t hour,
                             uint32_t minute, uint32_t second);

// Calendar days as numbers: days since 1970-01-01 in the proleptic Gregorian calendar.
int64_t dayNumber(int year, int month, int day);
int daysInMonth(int64_t year, int month);  // 0 for a month that is not one
// Today by the local calendar.
int64_t today();
// The day of a stamp "2024-05-02 ..." or of a date "2024-05-02"; nothing when it is not one,
// or names no day of the calendar (30 February, month 13).
std::optional<int64_t> dayOfStamp(const std::string& stamp);

// The fields of a stamp as the calibrator sent them, which need not make a time of the
// calendar ("2025-02-30 10:00:00", "2025-13-02 ..."); a date alone has midnight.
struct StampFields {
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::optional<StampFields> stampFields(const std::string& stamp);
// Whether the fields name a day of the calendar and a time of that day.
bool possibleStamp(const StampFields& fields);
// Seconds since 1970-01-01 00:00 of the stamp's own clock; nothing for an impossible stamp.
std::optional<int64_t> secondOfStamp(const std::string& stamp);
// The same of the nearest possible time (each field brought within its bounds), to order
// impossible stamps among others; nothing for a text that is not a stamp.
std::optional<int64_t> nearestSecondOfStamp(const std::string& stamp);
// "2024-05-02".
std::string dateOfDay(int64_t day);

}  // namespace kvtapp
