#include "support/date_stamp.h"

#include <gtest/gtest.h>

namespace kvtlnk {
namespace {

TEST(DateStamp, FromLocalTime) {
    struct Case {
        int year, month, day, wday, hour, min, sec;
        DateStamp stamp;  // second, minute, hour, weekday, day, month, years since 1992
    };
    const Case cases[] = {
        {1998, 6, 15, 1, 13, 45, 30, {30, 45, 13, 1, 15, 6, 6}},
        {1992, 1, 1, 3, 0, 0, 0, {0, 0, 0, 3, 1, 1, 0}},
        {2026, 12, 5, 6, 23, 59, 60, {59, 59, 23, 6, 5, 12, 34}},  // a leap second kept at 59
        {2092, 2, 29, 5, 12, 0, 0, {0, 0, 12, 5, 29, 2, 0}},       // the year wraps after a century
    };
    for (const Case& c : cases) {
        std::tm tm{};
        tm.tm_year = c.year - 1900;
        tm.tm_mon = c.month - 1;
        tm.tm_mday = c.day;
        tm.tm_wday = c.wday;
        tm.tm_hour = c.hour;
        tm.tm_min = c.min;
        tm.tm_sec = c.sec;
        EXPECT_EQ(stampFromLocalTime(tm), c.stamp) << c.year;
    }
}

}  // namespace
}  // namespace kvtlnk
