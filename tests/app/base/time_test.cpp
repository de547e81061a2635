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
    for (const char* bad : {"", "2024-13-01", "yesterday", "2024-06", "2025-02-29", "2024-02-30",
                            "1900-02-29 10:00:00", "2024-04-31", "2024-00-10", "2024-05-00",
                            "2024-05-02 24:00:00", "2024-05-02 10:00", "2024-05-02T10:00:00",
                            "2024-05-02 10:00:00 ", "-2024-05-02", "2024-+5-02"})
        EXPECT_FALSE(dayOfStamp(bad)) << bad;
}

// Stamps as the calibrator sent them: impossible ones keep their fields, are not a time, and
// still take a place among the others by their nearest possible time.
TEST(Calendar, ImpossibleStamps) {
    const struct {
        const char* stamp;
        bool possible;
        const char* nearest;  // the possible stamp of the same second
    } stamps[] = {{"2024-02-29 23:59:59", true, "2024-02-29 23:59:59"},
                  {"2000-02-29 00:00:00", true, "2000-02-29 00:00:00"},
                  {"2025-02-30 10:00:00", false, "2025-02-28 10:00:00"},
                  {"2025-13-02 10:00:00", false, "2025-12-02 10:00:00"},
                  {"2025-00-02 10:00:00", false, "2025-01-02 10:00:00"},
                  {"2025-04-31 10:00:00", false, "2025-04-30 10:00:00"},
                  {"2025-04-30 25:61:99", false, "2025-04-30 23:59:59"},
                  {"2247-255-255 255:255:255", false, "2247-12-31 23:59:59"}};
    for (const auto& s : stamps) {
        SCOPED_TRACE(s.stamp);
        const std::optional<StampFields> fields = stampFields(s.stamp);
        ASSERT_TRUE(fields);
        EXPECT_EQ(possibleStamp(*fields), s.possible);
        EXPECT_EQ(secondOfStamp(s.stamp).has_value(), s.possible);
        EXPECT_EQ(nearestSecondOfStamp(s.stamp), secondOfStamp(s.nearest));
    }
    EXPECT_EQ(stampFields("2025-13-02 10:00:00")->month, 13);
    for (const char* bad : {"", "2025-13", "10:00:00", "2025-01-01 10", "2025-01-01  10:00:00",
                            "99999999999-01-01", "2025-01-01 10:00:00x"})
        EXPECT_FALSE(stampFields(bad)) << bad;
}

}  // namespace
}  // namespace kvtapp
