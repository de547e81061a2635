#include "records/visits.h"

#include <algorithm>

#include "base/time.h"

namespace kvtapp {

bool untagged(const Result& r) {
    return r.text1.empty();
}

std::string instrumentOf(const Result& r) {
    if (!r.text1.empty()) return r.text1;
    return "untagged: " + (r.taskIndex < 0 ? std::string("no task") : "task " + r.task) +
           ", strategy " + r.strategy;
}

std::string stampProblem(const std::string& taken, const std::string& uploaded,
                         const std::string& previousUpload, const VisitRules& rules) {
    const std::optional<int64_t> at = secondOfStamp(taken);
    if (!at) return kDateImpossible;
    const std::optional<int64_t> upload = secondOfStamp(uploaded);
    if (upload && *at > *upload) {
        return std::string(kClockSuspect) + ": taken after its upload " + uploaded;
    }
    const std::optional<int64_t> previous = secondOfStamp(previousUpload);
    if (previous && *at < *previous - rules.clockToleranceSeconds) {
        return std::string(kClockSuspect) + ": taken before the calibrator's previous upload " +
               previousUpload;
    }
    return "";
}

Placement placementOf(const Result& r, int64_t upload) {
    return {nearestSecondOfStamp(r.taken).value_or(0), r.flagged, r.stampProblem.empty(), upload};
}

namespace {

bool joins(const std::vector<Placement>& calibration, const Placement& r, const VisitRules& rules) {
    int64_t first = r.second, last = r.second;
    for (const Placement& p : calibration) {
        if (p.believed != r.believed) return false;
        // A clock that is not believed keeps its results apart from other uploads'.
        if (!r.believed && p.upload != r.upload) return false;
        if (!r.asLeft && p.asLeft && p.second < r.second) return false;
        if (r.asLeft && !p.asLeft && p.second > r.second) return false;
        first = std::min(first, p.second);
        last = std::max(last, p.second);
    }
    return last - first <= rules.windowSeconds;
}

int64_t firstSecond(const std::vector<Placement>& calibration) {
    int64_t first = INT64_MAX;
    for (const Placement& p : calibration)
        first = std::min(first, p.second);
    return first;
}

}  // namespace

std::optional<size_t> calibrationFor(const std::vector<std::vector<Placement>>& calibrations,
                                     const Placement& result, const VisitRules& rules) {
    std::optional<size_t> found;
    for (size_t i = 0; i < calibrations.size(); ++i) {
        if (calibrations[i].empty() || !joins(calibrations[i], result, rules)) continue;
        if (!found || firstSecond(calibrations[i]) >= firstSecond(calibrations[*found])) found = i;
    }
    return found;
}

std::string ordinal(size_t n) {
    static const char* const kWords[] = {"first", "second",  "third",  "fourth", "fifth",
                                         "sixth", "seventh", "eighth", "ninth",  "tenth"};
    if (n >= 1 && n <= 10) return kWords[n - 1];
    const char* suffix = n % 100 / 10 == 1 ? "th"
                         : n % 10 == 1     ? "st"
                         : n % 10 == 2     ? "nd"
                         : n % 10 == 3     ? "rd"
                                           : "th";
    return std::to_string(n) + suffix;
}

}  // namespace kvtapp
