#include "advice/advice.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/time.h"

namespace kvtapp {

const char* changeName(IntervalChange change) {
    switch (change) {
        case IntervalChange::Longer:
            return "longer";
        case IntervalChange::Shorter:
            return "shorter";
        default:
            return "same";
    }
}

std::vector<AsFoundPoint> asFoundPoints(const std::vector<Calibration>& calibrations) {
    std::vector<AsFoundPoint> points;
    for (const Calibration& c : calibrations) {
        const std::optional<int64_t> day = calibrationDay(c);
        if (!day || !c.asFound || *c.asFound == Verdict::None) continue;
        AsFoundPoint p{c.id, *day, kNone, *c.asFound == Verdict::Pass};
        for (const Result& r : c.results) {
            const double tolerance = toleranceOf(r);
            const double error = largestError(r);
            if (r.flagged || !(tolerance > 0) || std::isnan(error)) continue;
            const double percent = error / tolerance * 100;
            if (std::isnan(p.percent) || std::fabs(percent) > std::fabs(p.percent))
                p.percent = percent;
        }
        if (!std::isnan(p.percent)) points.push_back(p);
    }
    return points;
}

namespace {

// The least-squares slope of the percentages over the days, per 365 days; NaN without two days.
double driftPerYear(const std::vector<AsFoundPoint>& points) {
    if (points.size() < 2) return kNone;
    double meanDay = 0, meanPercent = 0;
    for (const AsFoundPoint& p : points) {
        meanDay += double(p.day) / double(points.size());
        meanPercent += p.percent / double(points.size());
    }
    double covariance = 0, variance = 0;
    for (const AsFoundPoint& p : points) {
        covariance += (double(p.day) - meanDay) * (p.percent - meanPercent);
        variance += (double(p.day) - meanDay) * (double(p.day) - meanDay);
    }
    return variance > 0 ? covariance / variance * 365 : kNone;
}

int bounded(double days) {
    return static_cast<int>(std::clamp(std::lround(days), long(kShortestDays), long(kLongestDays)));
}

}  // namespace

IntervalAdvice adviseInterval(const std::string& tag, const std::vector<AsFoundPoint>& asFound,
                              int intervalDays) {
    IntervalAdvice a;
    a.tag = tag;
    a.intervalDays = intervalDays;
    a.asFound = asFound;
    a.suggestedDays = intervalDays;
    a.driftPerYear = driftPerYear(asFound);
    for (auto p = asFound.rbegin(); p != asFound.rend() && p->pass; ++p)
        ++a.inToleranceRun;
    if (asFound.size() < kAdviceMinimum) {
        a.reason = fmt::format("{} as-found result(s) judged against a tolerance; {} are needed",
                               asFound.size(), kAdviceMinimum);
        return a;
    }
    const AsFoundPoint& last = asFound.back();
    if (!last.pass) {
        a.suggestedDays = bounded(intervalDays * (1 - kShortenFactor));
        a.reason = fmt::format("found out of tolerance on {} ({:.0f} % of the tolerance)",
                               dateOfDay(last.day), last.percent);
    } else if (a.inToleranceRun < kInToleranceRun) {
        a.reason = fmt::format("within tolerance {} time(s) running; {} running lengthen it",
                               a.inToleranceRun, kInToleranceRun);
    } else {
        const int longer = bounded(intervalDays * (1 + kLengthenFactor));
        const double drift = std::isnan(a.driftPerYear) ? 0 : a.driftPerYear;
        const double projected = std::fabs(last.percent + drift * longer / 365);
        if (projected >= kDriftGuardPercent) {
            a.reason = fmt::format(
                "within tolerance {} times running, but drifting {:+.0f} % of the tolerance a "
                "year: about {:.0f} % of it after a longer interval",
                a.inToleranceRun, drift, projected);
        } else {
            a.suggestedDays = longer;
            a.reason = fmt::format(
                "within tolerance {} times running; about {:.0f} % of the "
                "tolerance expected after the longer interval",
                a.inToleranceRun, projected);
        }
    }
    a.change = a.suggestedDays > intervalDays   ? IntervalChange::Longer
               : a.suggestedDays < intervalDays ? IntervalChange::Shorter
                                                : IntervalChange::Same;
    return a;
}

nlohmann::ordered_json toJson(const IntervalAdvice& a) {
    nlohmann::ordered_json history = nlohmann::ordered_json::array();
    for (const AsFoundPoint& p : a.asFound) {
        history.push_back({{"calibration", p.calibration},
                           {"day", dateOfDay(p.day)},
                           {"errorOfTolerancePercent", numberJson(p.percent)},
                           {"pass", p.pass}});
    }
    return {{"tag", a.tag},
            {"intervalDays", a.intervalDays},
            {"asFound", history},
            {"driftPerYearPercent", numberJson(a.driftPerYear)},
            {"inToleranceRun", a.inToleranceRun},
            {"change", changeName(a.change)},
            {"suggestedDays", a.suggestedDays},
            {"reason", a.reason}};
}

}  // namespace kvtapp
