// Readings shown at the display's resolution: the step of a display string, of an input range,
// and a value in steps of it.
#include "base/units.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvtapp {
namespace {

TEST(Readings, AtTheDisplaysResolution) {
    const struct {
        double value, step, factor;
        const char* shown;
    } cases[] = {
        {0.0039986726, 1e-6, 1e-3, "3.999"},
        {0.019992001, 1e-5, 1e-3, "19.99"},
        {-2.6391108e-05, 1e-6, 1e-3, "-0.026"},
        {199.84, 0.1, 1, "199.8"},
        {49.6, 1, 1, "50"},
        {-0.0000004, 1e-6, 1e-3, "0.000"},
        {12.3456789, NAN, 1, "12.3457"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stepped(c.value, c.step, c.factor), c.shown) << c.value;
    const struct {
        const char* display;
        double step;
    } displays[] = {{" 52.300mV", 1e-3},
                    {"0.000bar", 1e-3},
                    {"   0.0 \xC2\xB0"
                     "C",
                     0.1},
                    {"     0 C", 1},
                    {"1.23E+03", 10},
                    {"------", NAN}};
    for (const auto& d : displays) {
        if (std::isnan(d.step)) {
            EXPECT_TRUE(std::isnan(displayStep(d.display))) << d.display;
        } else {
            EXPECT_NEAR(displayStep(d.display), d.step, d.step * 1e-9) << d.display;
        }
    }
    EXPECT_EQ(inputRangeStep("current", 0.0331f), 1e-6);
    EXPECT_TRUE(std::isnan(inputRangeStep("current", 0.5f)));
}

}  // namespace
}  // namespace kvtapp
