// Reverse traceability: which calibrations and certificates rested on a reference standard or
// pressure module, and how close each came to its tolerance, so that a quality manager can judge
// which to recall when the standard comes back from its own calibration out of tolerance.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "workspace/workspace.h"

namespace kvtapp {

// Records the standards of the calibrations the upload brought results to, from the lab file as
// of each calibration's day.
void recordStandards(const Workspace& workspace, kvtarchive::Archive& archive, int64_t upload);

// The standards a calibration rests on: as recorded, else worked out now from the lab file and
// the certificates the archive kept (marked reconstructed).
std::vector<kvtarchive::StandardUsed> standardsUsedBy(const Workspace& workspace,
                                                      kvtarchive::Archive& archive,
                                                      const Calibration& calibration);

// A calibration that relied on the standard: the instrument, its customer, the day whose
// standards count, the standard as it was used, the certificates issued for it ("NIL-000042",
// replaced ones too), and its largest error relative to the tolerance over all its results
// (|error| / tolerance, in %; NaN when none was judged against a tolerance).
struct AffectedCalibration {
    int64_t calibration = 0;
    std::string instrument, customer, day;
    kvtarchive::StandardUsed used;
    std::optional<Verdict> asFound, asLeft;
    std::vector<std::string> certificates;
    double worstPercent = kNone;
};

// The calibrations that relied on the standard (by serial number) on a day in [since, until]
// ("2025-01-10"; an empty text leaves that end open), the worst first.
std::vector<AffectedCalibration> standardsAffected(const Workspace& workspace,
                                                   kvtarchive::Archive& archive,
                                                   const std::string& serial,
                                                   const std::string& since = "",
                                                   const std::string& until = "");

nlohmann::ordered_json toJson(const kvtarchive::StandardUsed& used);
nlohmann::ordered_json toJson(const AffectedCalibration& affected);

}  // namespace kvtapp
