#include "readings/units.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvtlnk {
namespace {

TEST(Units, TemperatureConversions) {
    struct Case {
        uint32_t from, to;
        float value, expected;
    };
    const Case cases[] = {
        {kUnitCelsius, kUnitFahrenheit, 100.0f, 212.0f},
        {kUnitFahrenheit, kUnitCelsius, 212.0f, 100.0f},
        {kUnitCelsius, kUnitFahrenheit, -40.0f, -40.0f},
        {kUnitCelsius, kUnitFahrenheit, 23.0f, 73.4f},
        {kUnitFahrenheit, kUnitCelsius, 752.0f, 400.0f},
        {kUnitCelsius, kUnitCelsius, 12.345f, 12.345f},
        {kUnitFahrenheit, kUnitFahrenheit, 12.345f, 12.345f},
        {kUnitCelsius, kUnitPsi, 12.345f, 12.345f},
        {kUnitVolts, kUnitFahrenheit, 12.345f, 12.345f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(convertTemp(c.from, c.to, c.value), c.expected) << c.from << "->" << c.to;
    }
}

// Each pressure unit has its own factor in each direction; converting 1 unit shows it.
TEST(Units, PressureFactorsBothWays) {
    struct Case {
        uint32_t unit;
        double fromPsi, toPsi;
    };
    const Case cases[] = {
        {kUnitPsi, 1.0, 1.0},
        {kUnitBar, 0.0689476, 14.50377},
        {kUnitKpa, 6.89476, 0.1450377},
        {kUnitInH2o, 27.6799, 0.0361272},
        {kUnitFtH2o, 2.3066583, 0.4335264},
        {kUnitInHg, 2.036021, 0.4911541},
        {kUnitMmHg, 51.715095, 0.0193367},
        {kUnitUdf, 1.0, 1.0},
        {kUnitCelsius, 1.0, 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(convertPres(kUnitPsi, c.unit, 1.0f), static_cast<float>(c.fromPsi)) << c.unit;
        EXPECT_EQ(convertPres(c.unit, kUnitPsi, 1.0f), static_cast<float>(c.toPsi)) << c.unit;
    }
    // 100 kPa uses the kPa factor, not the reciprocal of the psi-to-kPa one.
    EXPECT_EQ(convertPres(kUnitKpa, kUnitPsi, 100.0f), 14.50377f);
    EXPECT_NE(convertPres(kUnitKpa, kUnitPsi, 100.0f), static_cast<float>(100.0 / 6.89476));
}

TEST(Units, PrefixesRescaleInPlace) {
    struct Case {
        uint32_t prefix;
        float base, shown;
    };
    const Case cases[] = {
        {kPrefixNone, 1.5f, 1.5f},  {kPrefixMicro, 2.5e-6f, 2.5f},  {kPrefixMilli, 0.11f, 110.0f},
        {kPrefixUnity, 1.5f, 1.5f}, {kPrefixKilo, 11000.0f, 11.0f}, {kPrefixMega, 2e6f, 2.0f},
        {kPrefixGiga, 3e9f, 3.0f},  {kPrefixPressure, 1.5f, 1.5f},  {42, 1.5f, 1.5f},
    };
    for (const Case& c : cases) {
        float v = c.shown;
        prefixToBase(&v, c.prefix);
        EXPECT_FLOAT_EQ(v, c.base) << c.prefix;
        v = c.base;
        prefixFromBase(&v, c.prefix);
        EXPECT_FLOAT_EQ(v, c.shown) << c.prefix;
    }
    float v = 110.0f;
    prefixToBase(&v, kPrefixMilli);
    EXPECT_EQ(v, 0.11f);
}

TEST(Units, OutputTransferFunctions) {
    struct Case {
        uint32_t mode;
        float p1, p2, x, expected;
    };
    const Case cases[] = {
        {kScaleNone, 4.0f, 20.0f, 7.0f, 7.0f},       {kScaleLinear, 0.0f, 1.0f, 7.25f, 7.25f},
        {kScaleLinear, 4.0f, 2.0f, 10.0f, 3.0f},     {kScaleSquareRoot, 0.0f, 1.0f, 16.0f, 4.0f},
        {kScaleSquareRoot, 1.0f, 4.0f, 37.0f, 3.0f}, {kScaleSquare, 1.0f, 2.0f, 7.0f, 9.0f},
        {kScalePercent, 4.0f, 20.0f, 50.0f, 12.0f},  {kScalePercent, 4.0f, 20.0f, 0.0f, 4.0f},
        {kScalePercent, 4.0f, 20.0f, 100.0f, 20.0f}, {kScalePercent, 20.0f, 4.0f, 25.0f, 16.0f},
        {kScaleNoneAlt, 4.0f, 20.0f, 7.0f, 7.0f},    {6, 4.0f, 20.0f, 7.0f, 7.0f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(scaledToOutput(c.mode, c.p1, c.p2, c.x), c.expected) << c.mode;
    }
    // A negative quotient has no square root: the NaN then fits no source range.
    EXPECT_TRUE(std::isnan(scaledToOutput(kScaleSquareRoot, 0.0f, 1.0f, -4.0f)));
}

}  // namespace
}  // namespace kvtlnk
