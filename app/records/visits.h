// Which results make one calibration, and which stamps can be believed. The calibrator stamps
// each result by its own clock; the host's clock at the upload, and the calibrator's previous
// upload, tell whether that clock could have been right. The results of one instrument make
// one calibration while they come from one visit: within a window of days from its first
// result, and no result as found after one as left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/result.h"

namespace kvtapp {

constexpr int kDefaultWindowDays = 7;
constexpr int64_t kDefaultClockToleranceSeconds = 86400;

// How results are grouped and stamps judged: the lab file's calibration window and clock
// tolerance.
struct VisitRules {
    int64_t windowSeconds = kDefaultWindowDays * 86400;
    int64_t clockToleranceSeconds = kDefaultClockToleranceSeconds;
};

// The instrument of a result: its first tag text, which names it; for a result without one,
// "untagged: task NAME, strategy NAME" ("no task" when it has none).
std::string instrumentOf(const Result& result);
bool untagged(const Result& result);

// Why a result's stamp is not believed, as a listing says it; empty when it is. uploaded is the
// host's time of the upload, previousUpload the calibrator's upload before it ("" for none).
std::string stampProblem(const std::string& taken, const std::string& uploaded,
                         const std::string& previousUpload, const VisitRules& rules);

constexpr const char* kClockSuspect = "calibrator clock suspect";
constexpr const char* kDateImpossible = "date impossible";

// A result as grouping sees it.
struct Placement {
    int64_t second = 0;  // its stamp's, or the nearest possible one's
    bool asLeft = false;
    bool believed = true;
    int64_t upload = 0;
};
Placement placementOf(const Result& result, int64_t upload);

// Of the calibrations of the result's instrument (each its results' placements), the one the
// result belongs to: the latest by first stamp that it joins without making it span more than
// the window, without an as-found result after an as-left one, and, where a stamp is not
// believed, only within one upload of such stamps. Nothing when it opens a calibration.
std::optional<size_t> calibrationFor(const std::vector<std::vector<Placement>>& calibrations,
                                     const Placement& result, const VisitRules& rules);

// "first", "second", ... "tenth", then "11th", "21st".
std::string ordinal(size_t n);

}  // namespace kvtapp
