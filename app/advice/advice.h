// Calibration interval advice by the simple response method: an instrument whose last as-found
// results were all within tolerance may wait longer before its next calibration, one found out
// of tolerance should come back sooner. The advice is shown, never applied: the lab decides and
// sets an interval with kvtlnk archive interval.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "records/calibration.h"

namespace kvtapp {

// The method's factors: lengthen by kLengthenFactor after kInToleranceRun consecutive as-found
// results within tolerance, shorten by kShortenFactor after an as-found result out of it; keep
// the interval when the drift would bring the as-found error to kDriftGuardPercent of the
// tolerance within the longer interval; suggestions stay within [kShortestDays, kLongestDays].
constexpr int kInToleranceRun = 3;
constexpr double kLengthenFactor = 0.10;
constexpr double kShortenFactor = 0.50;
constexpr double kDriftGuardPercent = 80;
constexpr int kShortestDays = 30;
constexpr int kLongestDays = 5 * 365;
// Instruments with fewer calibrations than this get no advice.
constexpr size_t kAdviceMinimum = 3;

// One calibration's as-found state: its day, and its worst as-found error relative to the
// tolerance of that result (signed, in % of the tolerance), and whether it passed.
struct AsFoundPoint {
    int64_t calibration = 0;
    int64_t day = 0;
    double percent = kNone;
    bool pass = false;
};

enum class IntervalChange { Same, Longer, Shorter };
const char* changeName(IntervalChange change);  // "same", "longer", "shorter"

struct IntervalAdvice {
    std::string tag;
    int intervalDays = kDefaultIntervalDays;  // the interval in force
    std::vector<AsFoundPoint> asFound;        // oldest first
    double driftPerYear = kNone;              // % of the tolerance per 365 days
    int inToleranceRun = 0;                   // consecutive in-tolerance results at the end
    IntervalChange change = IntervalChange::Same;
    int suggestedDays = 0;
    std::string reason;
};

// The as-found points of calibrations judged already (oldest first): those with a day and an
// as-found result with a tolerance and an error.
std::vector<AsFoundPoint> asFoundPoints(const std::vector<Calibration>& calibrations);

// The advice for an instrument from its as-found points and its interval in force.
IntervalAdvice adviseInterval(const std::string& tag, const std::vector<AsFoundPoint>& asFound,
                              int intervalDays);

nlohmann::ordered_json toJson(const IntervalAdvice& advice);

}  // namespace kvtapp

namespace kvtarchive {
class Archive;
}

namespace kvtapp {

class Workspace;

// The advice for every instrument of the archive with at least kAdviceMinimum calibrations,
// their as-found results judged by the lab's decision rule, by tag.
std::vector<IntervalAdvice> intervalAdvice(const Workspace& workspace, kvtarchive::Archive& archive,
                                           int64_t today);

}  // namespace kvtapp
