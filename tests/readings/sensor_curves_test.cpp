#include "readings/sensor_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace kvtlnk {
namespace {

const SensorCurve* find(const SensorCurve* table, int32_t key) {
    for (; table->key != '0'; ++table) {
        if (table->key == key) return table;
    }
    return nullptr;
}

double horner(const CurveSegment& s, float t) {
    const double x = t;
    return (((s.c[4] * x + s.c[3]) * x + s.c[2]) * x + s.c[1]) * x + s.c[0];
}

// Lower end, segment counts and upper bounds of the calibrator's curves. An empty list of
// inner bounds means the calibrator does not fix them.
struct CurveFacts {
    int32_t key;
    float lowerEnd;
    int32_t countIts90;
    int32_t countIpts68;
    std::vector<float> boundsIts90;
    std::vector<float> boundsIpts68;
};

const std::vector<CurveFacts> kThermocoupleFacts = {
    {'E', -250, 4, 4, {-42.6f, 196.6f, 769.2f, 1000}, {1000}},
    {'N', -200, 4, 4, {8.6f, 325, 925, 1300}, {1300}},
    {'J', -210, 5, 5, {3.3f, 413.8f, 733.7f, 944.1f, 1200}, {1200}},
    {'K', -200, 6, 6, {67.4f, 228.6f, 505.9f, 847.6f, 1109.5f, 1372}, {1372}},
    {'T', -250, 3, 3, {-105.5f, 86.1f, 400}, {400}},
    {'B', 0, 3, 3, {50, 1210, 1820}, {1820}},
    {'R', 0, 5, 5, {353.4f, 706.8f, 1060.2f, 1547.2f, 1767}, {1767}},
    {'S', 0, 5, 5, {353.4f, 706.8f, 1060.2f, 1546.1f, 1767}, {1767}},
    {'C', 0, 4, 4, {579, 1158, 1737, 2316}, {2316}},
    {'L', -200, 7, 10, {-123.1f, 21.4f, 148.8f, 391.3f, 612, 841.7f, 900}, {900}},
    {'U', -200, 6, 8, {-119.2f, 28.7f, 197.4f, 364.1f, 515.5f, 600}, {600}},
};

const std::vector<CurveFacts> kRtdFacts = {
    {1, -200, 2, 2, {29.9f, 630}, {630}},
    {2, -200, 2, 2, {81, 800}, {81, 800}},
    {3, -80, 2, 2, {126.8f, 260}, {124.6f, 260}},
    {4, -200, 2, 2, {14.7f, 630}, {14.7f, 630}},
    {5, -200, 2, 2, {14.7f, 630}, {14.7f, 630}},
    {6, -200, 2, 2, {14.7f, 630}, {14.7f, 630}},
    {7, -100, 1, 1, {260}, {260}},
    {8, -200, 2, 2, {27.5f, 630}, {630}},
};

void expectFacts(const SensorCurve* table, const std::vector<CurveFacts>& facts, bool its90) {
    size_t entries = 0;
    while (table[entries].key != '0')
        ++entries;
    EXPECT_EQ(entries, facts.size());
    for (const CurveFacts& f : facts) {
        SCOPED_TRACE(testing::Message() << "key " << f.key << (its90 ? " ITS-90" : " IPTS-68"));
        const SensorCurve* curve = find(table, f.key);
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(curve->lowerEnd, f.lowerEnd);
        ASSERT_EQ(curve->segmentCount, its90 ? f.countIts90 : f.countIpts68);
        const std::vector<float>& bounds = its90 ? f.boundsIts90 : f.boundsIpts68;
        const CurveSegment* s = curve->segments;
        const int32_t n = curve->segmentCount;
        EXPECT_EQ(s[n - 1].upper, bounds.back());
        if (bounds.size() == static_cast<size_t>(n)) {
            for (int32_t k = 0; k < n; ++k)
                EXPECT_EQ(s[k].upper, bounds[k]) << "segment " << k;
        }
        EXPECT_LT(curve->lowerEnd, s[0].upper);
        for (int32_t k = 1; k < n; ++k)
            EXPECT_LT(s[k - 1].upper, s[k].upper);
    }
}

TEST(SensorCurvesTables, HoldTheCalibratorsCurvesAndBounds) {
    expectFacts(kThermocoupleIts90, kThermocoupleFacts, true);
    expectFacts(kThermocoupleIpts68, kThermocoupleFacts, false);
    expectFacts(kRtdIts90, kRtdFacts, true);
    expectFacts(kRtdIpts68, kRtdFacts, false);
}

// A temperature at a bound belongs to the segment above it; one step below, to the one
// below; outside the curve the end segments extrapolate.
TEST(SensorCurvesEval, ChoosesTheSegmentAtAndAroundEveryBound) {
    for (const SensorCurve* table :
         {kThermocoupleIts90, kThermocoupleIpts68, kRtdIts90, kRtdIpts68}) {
        for (const SensorCurve* curve = table; curve->key != '0'; ++curve) {
            SCOPED_TRACE(testing::Message() << "key " << curve->key);
            const CurveSegment* s = curve->segments;
            const int32_t n = curve->segmentCount;
            for (int32_t k = 0; k + 1 < n; ++k) {
                const float at = s[k].upper;
                const float below = std::nextafter(at, -INFINITY);
                EXPECT_EQ(evalCurve(*curve, at), static_cast<float>(horner(s[k + 1], at)));
                EXPECT_EQ(evalCurve(*curve, below), static_cast<float>(horner(s[k], below)));
            }
            const float cold = curve->lowerEnd - 50.0f;
            const float hot = s[n - 1].upper + 50.0f;
            EXPECT_EQ(evalCurve(*curve, cold), static_cast<float>(horner(s[0], cold)));
            EXPECT_EQ(evalCurve(*curve, hot), static_cast<float>(horner(s[n - 1], hot)));
            EXPECT_EQ(evalCurve(*curve, s[n - 1].upper),
                      static_cast<float>(horner(s[n - 1], s[n - 1].upper)));
        }
    }
}

// The K27's own values. Where the K27's coefficients stand further from the reference
// function than a minimax fit may, the allowance is the documented difference of our fit
// (docs/sensor-accuracy.md); elsewhere it is 2 in the last digit.
struct CheckValue {
    CurveStandard standard;
    bool thermocouple;
    uint32_t type;
    float t;
    double k27;
    double allowed;
};

const CheckValue kCheckValues[] = {
    {CurveStandard::ITS90, true, 4, 100, 4.0964, 0.0002},
    {CurveStandard::IPTS68, true, 4, 100, 4.0957, 0.0002},
    {CurveStandard::ITS90, true, 4, 1372, 54.8861, 0.0002},
    {CurveStandard::IPTS68, true, 4, 1372, 54.8747, 0.0002},
    {CurveStandard::ITS90, true, 3, 1200, 69.5549, 0.0011},  // K27 1.7 uV off NIST
    {CurveStandard::IPTS68, true, 3, 1200, 69.5372, 0.0006},
    {CurveStandard::ITS90, true, 5, 400, 20.8727, 0.0003},
    {CurveStandard::IPTS68, true, 5, 400, 20.8698, 0.0002},
    {CurveStandard::ITS90, true, 1, 1000, 76.3701, 0.0021},  // K27 2.7 uV off NIST
    {CurveStandard::IPTS68, true, 1, 1000, 76.3556, 0.0017},
    {CurveStandard::ITS90, false, 2, 100, 138.5055, 0.0002},
    {CurveStandard::IPTS68, false, 2, 100, 138.5000, 0.0002},
    {CurveStandard::ITS90, false, 2, -200, 18.5205, 0.0002},
    {CurveStandard::IPTS68, false, 2, -200, 18.4936, 0.0002},
    {CurveStandard::ITS90, false, 6, 630, 3233.02, 0.02},
    {CurveStandard::IPTS68, false, 6, 630, 3231.77, 0.02},
    {CurveStandard::ITS90, false, 3, 0, 120.0217, 0.0040},  // K27 21.7 mOhm off its table
    {CurveStandard::IPTS68, false, 3, 0, 120.0203, 0.0037},
    {CurveStandard::ITS90, false, 7, 0, 9.0378, 0.0007},  // K27 2.8 mOhm off its table
    {CurveStandard::IPTS68, false, 7, 0, 9.0378, 0.0007},
};

TEST(SensorCurvesEval, ReproducesTheCalibratorsValues) {
    for (const CheckValue& v : kCheckValues) {
        SCOPED_TRACE(testing::Message()
                     << (v.thermocouple ? "tc " : "rtd ") << v.type << " at " << v.t);
        const SensorCurve* curve =
            v.thermocouple ? thermocoupleCurve(v.standard, v.type) : rtdCurve(v.standard, v.type);
        ASSERT_NE(curve, nullptr);
        EXPECT_NEAR(evalCurve(*curve, v.t), v.k27, v.allowed);
    }
}

// One electrical value as the calibrator forms it: millivolts times a single 0.001.
float emf(uint32_t type, float t) {
    return static_cast<float>(
        static_cast<double>(evalCurve(*thermocoupleCurve(CurveStandard::ITS90, type), t)) *
        static_cast<double>(0.001f));
}

TEST(SensorCurvesEmf, FollowsTheReferenceJunctionRules) {
    const uint32_t k = 4;
    ASSERT_NE(emf(k, 0.0f), 0.0f);  // the curve does not pass through zero at 0 C
    struct Case {
        float t;
        float tRef;
        float expected;
    };
    const Case cases[] = {
        {25.0f, 25.0f, 0.0f},  // equal junctions: exactly zero
        {0.0f, 0.0f, 0.0f},
        {-0.0f, 0.0f, 0.0f},
        {100.0f, 0.0f, emf(k, 100.0f)},  // a 0 C reference junction adds nothing
        {100.0f, -0.0f, emf(k, 100.0f)},
        {0.0f, 25.0f, static_cast<float>(static_cast<double>(emf(k, 0.0f)) - emf(k, 25.0f))},
        // Only an exact 0 C skips the reference junction's own EMF (emf(k, 0) is not zero).
        {100.0f, 1e-30f, static_cast<float>(static_cast<double>(emf(k, 100.0f)) - emf(k, 1e-30f))},
        {500.0f, 23.5f, static_cast<float>(static_cast<double>(emf(k, 500.0f)) - emf(k, 23.5f))},
    };
    for (const Case& c : cases) {
        float volts = 1.0f;
        ASSERT_TRUE(tcEmf(CurveStandard::ITS90, k, c.t, c.tRef, &volts)) << c.t << " " << c.tRef;
        EXPECT_EQ(volts, c.expected) << c.t << " " << c.tRef;
    }
}

TEST(SensorCurvesEmf, FailsForSensorsWithoutACurve) {
    for (CurveStandard standard : {CurveStandard::ITS90, CurveStandard::IPTS68}) {
        float value = 0.0f;
        // 48 is the end key '0'; the large numbers would not fit a key.
        for (uint32_t bad : {0u, 12u, 48u, 0x80000000u, 0xFFFFFFFFu}) {
            EXPECT_FALSE(tcEmf(standard, bad, 100.0f, 0.0f, &value)) << bad;
        }
        for (uint32_t bad : {0u, 9u, 48u, 0x80000000u, 0xFFFFFFFFu}) {
            EXPECT_FALSE(rtdOhms(standard, bad, 100.0f, &value)) << bad;
        }
        EXPECT_TRUE(tcEmf(standard, 12, 25.0f, 25.0f, &value));  // equal junctions need no curve
        EXPECT_EQ(value, 0.0f);
    }
}

TEST(SensorCurvesIsNotFinite, LooksOnlyAtTheExponentBits) {
    const struct {
        uint32_t bits;
        int expected;
    } cases[] = {
        {0x7F800000u, 1},  // +infinity
        {0xFF800000u, 1},  // -infinity
        {0x7FC00000u, 1},  // quiet NaN
        {0x7F800001u, 1},  // signalling NaN
        {0xFFFFFFFFu, 1},  // NaN with sign and every mantissa bit
        {0x7F7FFFFFu, 0},  // largest finite single
        {0xFF7FFFFFu, 0},  // its negative
        {0x00000000u, 0}, {0x80000000u, 0}, {0x00000001u, 0},  // smallest subnormal
    };
    for (const auto& c : cases) {
        float value = 0.0f;
        std::memcpy(&value, &c.bits, sizeof value);
        EXPECT_EQ(isNotFinite(&value), c.expected) << std::hex << c.bits;
    }
}

}  // namespace
}  // namespace kvtlnk
