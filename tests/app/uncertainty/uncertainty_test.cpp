// The uncertainty of a test point against cases worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "uncertainty/uncertainty.h"

namespace {

using namespace kvtapp;

Side side(const char* function, float low, float high, const char* sensor = "") {
    Side s;
    s.function = function;
    s.sensor = sensor;
    s.scale[0] = low;
    s.scale[1] = high;
    return s;
}

Point point(float reading, float readingLimit, float source, float sourceLimit, double step) {
    Point p;
    p.reading = reading;
    p.readingLimit = readingLimit;
    p.source = source;
    p.sourceLimit = sourceLimit;
    p.resolution = step;
    return p;
}

kvtlab::Standard calibrator() {
    kvtlab::Standard k;
    k.serial = "SN270001";
    k.accuracy = {{"current", {0.02, 0.005}}, {"dcv", {0.02, 0.005}}, {"tc", {0.02, 0.01}}};
    return k;
}

// Each worked by hand: the half-widths a = (% of reading x |value| + % of range x range) / 100,
// carried into the reading's units by input span / output span, and half the display's step;
// U = 2 sqrt(sum (a c)^2 / 3).
TEST(Uncertainty, HandWorkedPoints) {
    const kvtlab::Standard k27 = calibrator();
    kvtlab::Standard module;
    module.serial = "PM-1";
    module.rangeLow = 0;
    module.rangeHigh = 30;
    module.units = "psi";
    module.accuracy = {{"pressure", {0.025, 0.01}}};
    const struct {
        const char* what;
        Result result;
        Point point;
        double expanded;  // in the reading's base units
        double ratio;
    } cases[] = {
        // A V/I converter read in mA: 12.004 mA in the 33.1 mA range, a = 4.0558e-6 A; 5 V
        // sourced in the 11 V range, a = 1.55e-3 V, c = 0.016 A / 10 V; the step 1e-6 A.
        {"current",
         {},
         point(0.012004f, 0.0331f, 5, 11, 1e-6),
         5.51965e-6,
         0.16 * 0.016 / 5.51965e-6 / 100},
        // A thermocouple converter: 24.959 mV in the 110.1 mV range, a = 1.05423e-5 V; 100 °C
        // of type K sourced, its range up to 1374 °C, a = 0.1574 °C, c = 0.1 V / 400 °C.
        {"thermocouple",
         {},
         point(0.024959f, 0.1101f, 100, 1374, 1e-6),
         4.702985e-5,
         1e-4 / 4.702985e-5},
        // An I/P converter: 0.6 bar through a 30 psi module (2.068427 bar), a = 3.568427e-4 bar;
        // 12 mA sourced in the 22 mA range, a = 3.5e-6 A, c = 0.8 bar / 0.016 A; step 0.001 bar.
        {"pressure", {}, point(0.6f, 759, 0.012f, 0.022f, 0.001), 7.37529e-4, 5.4235158},
    };
    Result current, thermocouple, pressure;
    current.setup.input = side("current", 0.004f, 0.02f);
    current.setup.output = side("dcv", 0, 10);
    current.setup.tolerance = 0.16f;
    thermocouple.setup.input = side("dcv", 0, 0.1f);
    thermocouple.setup.output = side("tc", 0, 400, "tc_k");
    thermocouple.setup.tolerance = 0.1f;
    pressure.setup.input = side("pressure", 0.2f, 1.0f);
    pressure.setup.output = side("current", 0.004f, 0.02f);
    pressure.setup.pressureUnits = "bar";
    pressure.setup.tolerance = 0.5f;
    const Result* results[] = {&current, &thermocouple, &pressure};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        const Result& r = *results[i];
        const TestAccuracies a = testAccuracies(r, &k27, &module);
        EXPECT_EQ(a.missing, "");
        const double u = pointUncertainty(r, cases[i].point, a);
        EXPECT_NEAR(u, cases[i].expanded, cases[i].expanded * 1e-5);
        const double span = double(r.setup.input.scale[1]) - r.setup.input.scale[0];
        EXPECT_NEAR(testUncertaintyRatio(r.setup.tolerance * span / 100, u), cases[i].ratio,
                    cases[i].ratio * 1e-4);
    }
}

// Without an accuracy for every function of the test (or its display step), no uncertainty,
// and what is missing is named.
TEST(Uncertainty, NoneWithoutEveryAccuracy) {
    Result r;
    r.setup.input = side("dcv", 0, 0.1f);
    r.setup.output = side("tc", 0, 400, "tc_k");
    const Point p = point(0.025f, 0.1101f, 100, 1374, 1e-6);
    kvtlab::Standard dcvOnly = calibrator();
    dcvOnly.accuracy.erase("tc");
    const struct {
        const kvtlab::Standard* calibrator;
        const char* missing;
    } cases[] = {{nullptr, "the lab file does not list the calibrator"},
                 {&dcvOnly, "the lab file gives no accuracy for tc of the calibrator SN270001"}};
    for (const auto& c : cases) {
        const TestAccuracies a = testAccuracies(r, c.calibrator, nullptr);
        EXPECT_EQ(a.missing, c.missing);
        EXPECT_TRUE(std::isnan(pointUncertainty(r, p, a)));
    }
    r.setup.output = side("pressure", 0, 10);
    const kvtlab::Standard k27 = calibrator();
    EXPECT_EQ(testAccuracies(r, &k27, nullptr).missing, "the pressure module is not known");
    r.setup.output = side("none", 0, 0);
    const TestAccuracies measureOnly = testAccuracies(r, &k27, nullptr);
    EXPECT_FALSE(std::isnan(pointUncertainty(r, p, measureOnly)));
    EXPECT_TRUE(std::isnan(pointUncertainty(r, point(0.025f, 0.1101f, 0, 0, NAN), measureOnly)));
}

}  // namespace

// U rounded up to two significant digits, the value to the same place, never in exponents.
TEST(Uncertainty, QuotedToTheUncertainty) {
    const struct {
        double value, u;
        const char* quotedValue;
        const char* quotedU;
    } cases[] = {
        {4.00634, 0.01231, "4.006", "0.013"},  // up, not to nearest
        {4.00634, 0.012, "4.006", "0.012"},    // a round U stays
        {-0.0000123456, 0.0000035, "-0.0000123", "0.0000035"},
        {12345.678, 987, "12350", "990"},  // tens: no exponent
        {0.5, 0.0996, "0.50", "0.10"},     // 99.6 rounds up past two digits
        {1.0, 0, "", ""},                  // no uncertainty, nothing quoted
    };
    for (const auto& c : cases) {
        const Quoted q = quoted(c.value, c.u);
        EXPECT_EQ(q.value, c.quotedValue) << c.value << " ± " << c.u;
        EXPECT_EQ(q.uncertainty, c.quotedU) << c.value << " ± " << c.u;
    }
}

// Simple acceptance keeps the verdict on the reading; guarded acceptance passes only within the
// tolerance less U, and leaves a point without U unjudged.
TEST(Uncertainty, DecisionRules) {
    Result r;
    r.setup.input = side("current", 0.004f, 0.02f);
    r.setup.output = side("dcv", 0, 10);
    r.setup.tolerance = 0.16f;  // % of span; U is 0.0345 % of span here
    const kvtlab::Standard k27 = calibrator();
    const struct {
        double error;  // % of span
        Verdict simple, guarded;
    } cases[] = {{0.10, Verdict::Pass, Verdict::Pass},
                 {-0.14, Verdict::Pass, Verdict::Fail},
                 {0.17, Verdict::Fail, Verdict::Fail}};
    for (const auto& c : cases) {
        for (const auto rule : {kvtlab::DecisionRule::Simple, kvtlab::DecisionRule::Guarded}) {
            Point p = point(0.012004f, 0.0331f, 5, 11, 1e-6);
            p.error = c.error;
            p.verdict = std::fabs(c.error) <= 0.16 ? Verdict::Pass : Verdict::Fail;
            r.points = {p};
            judge(r, testAccuracies(r, &k27, nullptr), rule);
            const Verdict want = rule == kvtlab::DecisionRule::Simple ? c.simple : c.guarded;
            EXPECT_EQ(r.points[0].verdict, want) << c.error;
            EXPECT_EQ(r.verdict, want) << c.error;
            // TUR: 0.16 % of 16 mA over U = 4.64
            EXPECT_TRUE(lowTur(r.points[0], 5));
            EXPECT_FALSE(lowTur(r.points[0], 4));
        }
    }
    r.points[0].error = 0.01;
    judge(r, testAccuracies(r, nullptr, nullptr), kvtlab::DecisionRule::Guarded);
    EXPECT_EQ(r.points[0].verdict, Verdict::None);
    EXPECT_EQ(r.verdict, Verdict::None);
}
