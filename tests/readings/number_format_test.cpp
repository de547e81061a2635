#include "readings/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "readings/units.h"
#include "support/text_tables.h"

namespace kvtlnk {
namespace {

TEST(NumberFormat, PrintsCommasAndShortExponents) {
    struct Case {
        const char* format;
        double value;
        int comma;
        const char* expected;
    };
    const Case cases[] = {
        {"%.2E", 10000.0, 0, "1.00E+4"},
        {"%.2E", 0.5, 0, "5.00E-1"},
        {"%.2E", 1.0, 0, "1.00E+0"},
        {"%.2E", 0.0, 0, "0.00E+0"},
        {"%.2E", 2.5e-10, 0, "2.50E-10"},
        {"%.2E", -12345.0, 0, "-1.23E+4"},
        {"%.3e", 1.5e100, 0, "1.500e+100"},
        {"%.2E", 10000.0, 1, "1,00E+4"},
        {"%.2Epsi", 2500.0, 0, "2.50E+3psi"},
        {"%6.3f", 1.5, 0, " 1.500"},
        {"%6.3f", 1.5, 1, " 1,500"},
        {"%6.2f ", 12.345, 0, " 12.35 "},
        {"<Nr>", 1.5, 0, "<Nr>"},
    };
    for (const Case& c : cases) {
        char out[32];
        EXPECT_EQ(formatNumber(c.format, out, sizeof out, c.value, c.comma), 1) << c.format;
        EXPECT_STREQ(out, c.expected) << c.format << " " << c.value;
    }
}

TEST(NumberFormat, RefusesOtherCommaModesAndStaysInItsBuffer) {
    char out[32];
    EXPECT_EQ(formatNumber("%6.3f", out, sizeof out, 1.5, 2), 0);
    EXPECT_STREQ(out, " 1.500");  // printed, not touched further

    char small[5];
    EXPECT_EQ(formatNumber("%.2E", small, sizeof small, 10000.0, 0), 1);
    EXPECT_STREQ(small, "1.00");
}

TEST(NumberFormat, FormatValueFollowsTheDecimalCommaSetting) {
    char out[32];
    formatValue("%7.3f", out, sizeof out, 52.3f);
    EXPECT_STREQ(out, " 52.300");
    theTextTables().setDecimalComma(1);
    formatValue("%7.3f", out, sizeof out, 52.3f);
    theTextTables().setDecimalComma(0);
    EXPECT_STREQ(out, " 52,300");
}

TEST(PressureDisplay, FormatAndLimitsPerUnit) {
    struct Case {
        float low, high;
        int16_t code;
        uint32_t unit;
        const char* format;
        float lowLimit, highLimit;
    };
    const Case cases[] = {
        // The default module: 5 digit positions, full scale 10^4 psi: exponent form.
        {-100.0f, 10000.0f, -1, kUnitPsi, "%.2E", -1110.0f, 11010.0f},
        {0.0f, 100.0f, -2, kUnitKpa, "%.2f", -68.9476f, 758.4236f},
        {0.0f, 100.0f, -2, kUnitPsi, "%.2f", -10.0f, 110.0f},
        {0.0f, 100.0f, -2, kUnitBar, "%.4f", -0.689476f, 7.584236f},
        {0.0f, 100.0f, -2, kUnitMmHg, "%.1f", -517.15095f, 5688.66045f},
        {0.0f, 1000.0f, 0, kUnitPsi, "%.0f", -100.0f, 1100.0f},
        {0.0f, 1000.0f, 1, kUnitPsi, "%.0f", -100.0f, 1100.0f},
        // More than five decimals would be needed: exponent form.
        {0.0f, 1.0f, -6, kUnitBar, "%.2E", -0.00689476f, 0.07584236f},
    };
    for (const Case& c : cases) {
        const PressureDisplay d = pressureDisplay(c.unit, c.low, c.high, c.code);
        EXPECT_STREQ(d.format, c.format) << c.high << " in unit " << c.unit;
        EXPECT_NEAR(d.low, c.lowLimit, std::fabs(c.lowLimit) * 1e-6) << c.unit;
        EXPECT_NEAR(d.high, c.highLimit, std::fabs(c.highLimit) * 1e-6) << c.unit;
    }
    // Seven digit positions in psi: exponent form whatever the unit.
    for (uint32_t unit = kUnitPsi; unit <= kUnitKpa; ++unit) {
        EXPECT_STREQ(pressureDisplay(unit, 0.0f, 1e7f, 0).format, "%.2E") << unit;
    }
}

// Limits from a restored record are untrusted: nothing breaks on odd values.
TEST(PressureDisplay, OddModuleLimits) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float high : {0.0f, -5.0f, inf, nan, 3.4e38f}) {
        for (int16_t code : {int16_t{-32768}, int16_t{0}, int16_t{32767}}) {
            const PressureDisplay d = pressureDisplay(kUnitKpa, -100.0f, high, code);
            EXPECT_LT(std::string(d.format).size(), kPressureFormatSize) << high;
            EXPECT_EQ(d.format[0], '%') << high;
        }
    }
}

}  // namespace
}  // namespace kvtlnk
