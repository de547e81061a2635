#include "readings/sensor_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kvtlnk {
namespace {

TEST(SensorCurves, TcEmfIsExactlyZeroWhenBothJunctionsMatch) {
    curveStandard = CurveStandard::ITS90;
    float volts = 1.0f;
    ASSERT_TRUE(tcEmf(4, 25.0f, 25.0f, &volts));
    EXPECT_EQ(volts, 0.0f);
}

TEST(SensorCurves, IsNotFinite) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(isNotFinite(&inf), 1);
    EXPECT_EQ(isNotFinite(&nan), 1);
    EXPECT_EQ(isNotFinite(&big), 0);
}

}  // namespace
}  // namespace kvtlnk
