#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "readings/number_format.h"
#include "readings/units.h"
#include "support/text_tables.h"

namespace kvtlnk {
namespace {

TEST(Units, ConvertAsTheCalibratorDoes) {
    EXPECT_EQ(convertTemp(kUnitCelsius, kUnitFahrenheit, 100.0f), 212.0f);
    EXPECT_EQ(convertTemp(kUnitFahrenheit, kUnitCelsius, 212.0f), 100.0f);
    EXPECT_EQ(convertTemp(kUnitCelsius, kUnitPsi, 12.345f), 12.345f);
    // 100 kPa uses the kPa factor, not the reciprocal of the psi-to-kPa one.
    EXPECT_EQ(convertPres(kUnitKpa, kUnitPsi, 100.0f), 14.50377f);
    EXPECT_EQ(convertPres(kUnitPsi, kUnitUdf, 12.345f), 12.345f);
    float v = 110.0f;
    prefixToBase(&v, kPrefixMilli);
    EXPECT_EQ(v, 0.11f);
    prefixFromBase(&v, kPrefixKilo);
    EXPECT_EQ(v, static_cast<float>(0.11 / 1000));  // divided, not multiplied by 0.001
    EXPECT_EQ(scaledToOutput(kScalePercent, 4.0f, 20.0f, 50.0f), 12.0f);
    EXPECT_EQ(scaledToOutput(kScalePercent, 4.0f, 20.0f, 0.0f), 4.0f);
    EXPECT_EQ(scaledToOutput(kScaleSquare, 1.0f, 2.0f, 7.0f), 9.0f);
    // A negative quotient has no square root: the NaN then fits no source range.
    EXPECT_TRUE(std::isnan(scaledToOutput(kScaleSquareRoot, 0.0f, 1.0f, -4.0f)));
}

TEST(NumberFormat, PrintsCommasAndShortExponents) {
    const struct {
        const char* format;
        double value;
        int comma;
        const char* expected;
    } cases[] = {
        {"%.2E", 10000.0, 0, "1.00E+4"},    {"%.2E", 0.5, 0, "5.00E-1"},
        {"%.2E", 1.0, 0, "1.00E+0"},        {"%.2E", 2.5e-10, 0, "2.50E-10"},
        {"%.3e", 1.5e100, 0, "1.500e+100"}, {"%.2E", 10000.0, 1, "1,00E+4"},
        {"%6.3f", 1.5, 0, " 1.500"},        {"%6.3f", 1.5, 1, " 1,500"},
        {"<Nr>", 1.5, 0, "<Nr>"},
    };
    for (const auto& c : cases) {
        char out[32];
        EXPECT_EQ(formatNumber(c.format, out, sizeof out, c.value, c.comma), 1) << c.format;
        EXPECT_STREQ(out, c.expected) << c.format << " " << c.value;
    }
    char small[5];
    EXPECT_EQ(formatNumber("%.2E", small, sizeof small, 10000.0, 2), 0);
    EXPECT_STREQ(small, "1.00");
    TextTables tables;
    tables.setDecimalComma(1);
    formatValue(tables, "%7.3f", small, sizeof small, 52.3f);
    EXPECT_STREQ(small, " 52,");
}

TEST(PressureDisplay, FormatAndLimitsPerUnit) {
    const struct {
        float low, high;
        int16_t code;
        uint32_t unit;
        const char* format;
        float lowLimit, highLimit;
    } cases[] = {
        {-100.0f, 10000.0f, -1, kUnitPsi, "%.2E", -1110.0f, 11010.0f},
        {0.0f, 100.0f, -2, kUnitKpa, "%.2f", -68.9476f, 758.4236f},
        {0.0f, 100.0f, -2, kUnitPsi, "%.2f", -10.0f, 110.0f},
        {0.0f, 100.0f, -2, kUnitBar, "%.4f", -0.689476f, 7.584236f},
        {0.0f, 1000.0f, 1, kUnitPsi, "%.0f", -100.0f, 1100.0f},
        {0.0f, 1.0f, -6, kUnitBar, "%.2E", -0.00689476f, 0.07584236f},
        {0.0f, 1e7f, 0, kUnitMmHg, "%.2E", -5.1715095e7f, 5.68866045e8f},
    };
    for (const auto& c : cases) {
        const PressureDisplay d = pressureDisplay(c.unit, c.low, c.high, c.code);
        EXPECT_STREQ(d.format, c.format) << c.high << " in unit " << c.unit;
        EXPECT_NEAR(d.low, c.lowLimit, std::fabs(c.lowLimit) * 1e-6) << c.unit;
        EXPECT_NEAR(d.high, c.highLimit, std::fabs(c.highLimit) * 1e-6) << c.unit;
    }
    // Limits from a restored record are untrusted: the format stays a format that fits.
    for (float high : {0.0f, -5.0f, std::numeric_limits<float>::infinity(), NAN, 3.4e38f}) {
        for (int16_t code : {int16_t{-32768}, int16_t{32767}}) {
            const std::string format = pressureDisplay(kUnitKpa, -100.0f, high, code).format;
            EXPECT_TRUE(format.size() < kPressureFormatSize && format[0] == '%') << high;
        }
    }
}

}  // namespace
}  // namespace kvtlnk
