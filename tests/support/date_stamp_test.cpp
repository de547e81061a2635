#include "support/date_stamp.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kvtlnk {
namespace {

TEST(DateStamp, EmptyStampIsFirstOfJanuary1992) {
    const DateStamp s = emptyStamp();
    uint8_t bytes[DateStamp::kSize];
    s.toBytes(bytes);
    const uint8_t expected[DateStamp::kSize] = {0, 0, 0, 0, 1, 1, 0};
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof bytes));
    EXPECT_EQ(s.fullYear(), 1992);
}

TEST(DateStamp, FromLocalTime) {
    struct Case {
        int year, month, day, wday, hour, min, sec;
        uint8_t yearByte;
    };
    const Case cases[] = {
        {1998, 6, 15, 1, 13, 45, 30, 6},
        {1992, 1, 1, 3, 0, 0, 0, 0},
        {2026, 12, 5, 6, 23, 59, 59, 34},
        {2092, 2, 29, 5, 12, 0, 0, 0},  // the year byte wraps after a hundred years
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
        const DateStamp s = stampFromLocalTime(tm);
        EXPECT_EQ(s.year, c.yearByte) << c.year;
        EXPECT_EQ(s.month, c.month);
        EXPECT_EQ(s.day, c.day);
        EXPECT_EQ(s.weekday, c.wday);
        EXPECT_EQ(s.hour, c.hour);
        EXPECT_EQ(s.minute, c.min);
        EXPECT_EQ(s.second, c.sec);

        uint8_t bytes[DateStamp::kSize];
        s.toBytes(bytes);
        EXPECT_EQ(DateStamp::fromBytes(bytes), s);
        EXPECT_EQ(bytes[0], c.sec);  // wire order: second first, year last
        EXPECT_EQ(bytes[6], c.yearByte);
    }
}

}  // namespace
}  // namespace kvtlnk
