#include "support/date_stamp.h"

#include <gtest/gtest.h>

#include <vector>

namespace kvtlnk {
namespace {

std::vector<uint8_t> bytesOf(const DateStamp& s) {
    std::vector<uint8_t> bytes(DateStamp::kSize);
    s.toBytes(bytes.data());
    EXPECT_EQ(DateStamp::fromBytes(bytes.data()), s);
    return bytes;
}

// On the wire: second, minute, hour, weekday, day, month, years since 1992.
TEST(DateStamp, FromLocalTimeAndOnTheWire) {
    EXPECT_EQ(bytesOf(emptyStamp()), (std::vector<uint8_t>{0, 0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(emptyStamp().fullYear(), 1992);
    struct Case {
        int year, month, day, wday, hour, min, sec;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {1998, 6, 15, 1, 13, 45, 30, {30, 45, 13, 1, 15, 6, 6}},
        {1992, 1, 1, 3, 0, 0, 0, {0, 0, 0, 3, 1, 1, 0}},
        {2026, 12, 5, 6, 23, 59, 59, {59, 59, 23, 6, 5, 12, 34}},
        {2092, 2, 29, 5, 12, 0, 0, {0, 0, 12, 5, 29, 2, 0}},  // the year wraps after a century
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
        EXPECT_EQ(bytesOf(stampFromLocalTime(tm)), c.bytes) << c.year;
    }
}

}  // namespace
}  // namespace kvtlnk
