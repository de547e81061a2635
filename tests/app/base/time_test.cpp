// Calendar days as numbers, and back, across leap days and the epoch.
#include "base/time.h"

#include <gtest/gtest.h>

namespace kvtapp {
namespace {

TEST(Calendar, DayNumbersAndDates) {
    const struct {
        const char* stamp;
        int64_t day;
    } days[] = {{"1970-01-01", 0},
                {"2000-03-01 00:00:00", 11017},
                {"2024-02-29 23:59:59", 19782},
                {"1992-01-01 00:00:00", 8035},
                {"2091-12-31", 44559},
                {"1969-12-31", -1}};
    for (const auto& d : days) {
        SCOPED_TRACE(d.stamp);
        EXPECT_EQ(dayOfStamp(d.stamp), d.day);
        EXPECT_EQ(dateOfDay(d.day), std::string(d.stamp).substr(0, 10));
    }
    for (const char* bad : {"", "2024-13-01", "yesterday", "2024-06"})
        EXPECT_FALSE(dayOfStamp(bad)) << bad;
}

}  // namespace
}  // namespace kvtapp
