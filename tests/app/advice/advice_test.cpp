// Interval advice: the simple response method over steady, drifting and failing histories.
#include "advice/advice.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/time.h"

namespace kvtapp {
namespace {

struct History {
    const char* name;
    std::vector<double> percents;  // one calibration a year, oldest first; above 100 fails
    int interval;
    IntervalChange change;
    int suggested;
};

TEST(IntervalAdvice, SimpleResponseOverHistories) {
    const History histories[] = {
        {"steady within tolerance", {20, 22, 19, 21}, 365, IntervalChange::Longer, 402},
        {"drifting toward the limit", {10, 35, 60}, 365, IntervalChange::Same, 365},
        {"drifting negative", {-10, -35, -60}, 365, IntervalChange::Same, 365},
        {"drifting back toward zero", {60, 40, 20}, 365, IntervalChange::Longer, 402},
        {"close to the limit without a trend", {85, 84, 85}, 365, IntervalChange::Same, 365},
        {"failed last time", {20, 30, 120}, 365, IntervalChange::Shorter, 183},
        {"failed below", {20, 30, -105}, 180, IntervalChange::Shorter, 90},
        {"two passes after a failure", {20, 130, 30, 25}, 365, IntervalChange::Same, 365},
        {"three passes after a failure", {130, 30, 25, 28}, 365, IntervalChange::Longer, 402},
        {"too few calibrations", {20, 120}, 365, IntervalChange::Same, 365},
        {"never below the shortest", {20, 30, 150}, 40, IntervalChange::Shorter, kShortestDays},
        {"never above the longest", {5, 5, 5}, 1800, IntervalChange::Longer, kLongestDays},
        {"at the longest already", {5, 5, 5}, kLongestDays, IntervalChange::Same, kLongestDays},
    };
    for (const History& h : histories) {
        std::vector<AsFoundPoint> points;
        int64_t day = dayNumber(2020, 1, 10);
        for (double percent : h.percents) {
            points.push_back({int64_t(points.size() + 1), day, percent, std::fabs(percent) <= 100});
            day += 365;
        }
        const IntervalAdvice a = adviseInterval("PT-101", points, h.interval);
        EXPECT_EQ(a.change, h.change) << h.name << ": " << a.reason;
        EXPECT_EQ(a.suggestedDays, h.suggested) << h.name << ": " << a.reason;
        EXPECT_FALSE(a.reason.empty()) << h.name;
    }
}

TEST(IntervalAdvice, DriftIsTheTrendOfTheAsFoundErrorsAYear) {
    // Calibrations half a year apart whose error grows by 10 % of the tolerance each time.
    std::vector<AsFoundPoint> points;
    for (int i = 0; i < 4; ++i)
        points.push_back({i + 1, dayNumber(2024, 1, 1) + i * 365 / 2, 10.0 + 10 * i, true});
    const IntervalAdvice a = adviseInterval("TT-204", points, 180);
    EXPECT_NEAR(a.driftPerYear, 20, 0.1);
    EXPECT_EQ(a.inToleranceRun, 4);
}

Result resultOf(bool asLeft, float tolerance, std::vector<double> errors) {
    Result r;
    r.flagged = asLeft;
    r.setup.tolerance = tolerance;
    for (double e : errors) {
        Point p;
        p.error = e;
        r.points.push_back(p);
    }
    return r;
}

TEST(IntervalAdvice, AsFoundPointsTakeTheWorstAsFoundResultOfDatedCalibrations) {
    Calibration dated;
    dated.id = 7;
    dated.date = "2025-03-04 10:00:00";
    dated.asFound = Verdict::Pass;
    dated.results = {resultOf(false, 0.5, {0.1, -0.3}), resultOf(false, 0.25, {0.05}),
                     resultOf(true, 0.1, {0.09})};  // as left: not counted
    Calibration undated = dated;
    undated.clockSuspect = true;
    Calibration noTolerance = dated;
    noTolerance.results = {resultOf(false, 0, {0.2})};
    Calibration notJudged = dated;
    notJudged.asFound = Verdict::None;
    Calibration failed = dated;
    failed.id = 8;
    failed.asFound = Verdict::Fail;
    failed.results = {resultOf(false, 0.5, {0.6})};

    const std::vector<AsFoundPoint> points =
        asFoundPoints({dated, undated, noTolerance, notJudged, failed});
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].calibration, 7);
    EXPECT_EQ(points[0].day, dayNumber(2025, 3, 4));
    EXPECT_NEAR(points[0].percent, -60, 1e-4);
    EXPECT_TRUE(points[0].pass);
    EXPECT_NEAR(points[1].percent, 120, 1e-4);
    EXPECT_FALSE(points[1].pass);
}

}  // namespace
}  // namespace kvtapp
