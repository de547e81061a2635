// Numbers and dates as a person types them: whole or refused, never a part of the text, never a
// sign or a space that a program made up.
#include <gtest/gtest.h>

#include "base/numbers.h"
#include "base/time.h"

namespace {

using namespace kvtapp;

TEST(Numbers, WholeNumbersAreTakenWholeOrNotAtAll) {
    const struct {
        const char* text;
        int64_t low, high;
        std::optional<int64_t> want;
    } cases[] = {
        {"5", 0, 10, 5},
        {"007", 0, 10, 7},
        {"-3", -5, 5, -3},
        {"0", 0, 10, 0},
        {"-0", -5, 5, std::nullopt},
        {"-00", -5, 5, std::nullopt},
        {"-3", 0, 10, std::nullopt},
        {"+5", 0, 10, std::nullopt},
        {" 5", 0, 10, std::nullopt},
        {"\t5", 0, 10, std::nullopt},
        {"5 ", 0, 10, std::nullopt},
        {"5\n", 0, 10, std::nullopt},
        {"", 0, 10, std::nullopt},
        {"-", -5, 5, std::nullopt},
        {"0x10", 0, 100, std::nullopt},
        {"1e2", 0, 1000, std::nullopt},
        {"5.0", 0, 10, std::nullopt},
        {"11", 0, 10, std::nullopt},
        {"9223372036854775807", 0, INT64_MAX, INT64_MAX},
        {"9223372036854775808", 0, INT64_MAX, std::nullopt},
        {"99999999999999999999", 0, INT64_MAX, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wholeNumber(c.text, c.low, c.high), c.want) << "\"" << c.text << "\"";
}

TEST(Numbers, DecimalsHaveDigitsOnBothSidesOfTheirPoint) {
    const struct {
        const char* text;
        std::optional<double> want;
    } cases[] = {
        {"23", 23},     {"23.1", 23.1}, {"-5.5", -5.5}, {"0.0", 0},    {"-0", {}},  {"-0.0", {}},
        {".5", {}},     {"5.", {}},     {"1e1", {}},    {"inf", {}},   {"nan", {}}, {" 23", {}},
        {"23.1.1", {}}, {"+1", {}},     {"100.5", {}},  {"-50.5", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decimalNumber(c.text, -50, 100), c.want) << "\"" << c.text << "\"";
}

TEST(Numbers, DatesAreDaysOfTheCalendar) {
    const struct {
        const char* text;
        std::optional<int64_t> want;
    } cases[] = {
        {"2024-02-29", dayNumber(2024, 2, 29)},
        {"2000-02-29", dayNumber(2000, 2, 29)},
        {"1970-01-01", 0},
        {"2025-12-31", dayNumber(2025, 12, 31)},
        {"2025-02-29", {}},
        {"1900-02-29", {}},
        {"2025-04-31", {}},
        {"2025-13-01", {}},
        {"2025-00-10", {}},
        {"2025-01-00", {}},
        {"2025-1-31", {}},
        {" 2025-1-31", {}},
        {"+202-01-31", {}},
        {"2025-01-31 ", {}},
        {"2025/01/31", {}},
        {"0000-01-01", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calendarDay(c.text), c.want) << "\"" << c.text << "\"";
}

}  // namespace
