// Within the archive: results put into the calibrations of their instruments, each calibration
// then brought up to date from its results, and the move of a version 2 archive's events into
// calibrations. Each runs inside the caller's transaction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/visits.h"

namespace kvtarchive {

class Database;

// A stored result as the grouping needs it.
struct PlacedResult {
    int64_t id = 0;
    std::string instrument;
    bool untagged = false;
    kvtapp::Placement placement;
};

// Puts each result into a calibration of its instrument (one it joins, else a new one), then
// brings every calibration it touched up to date: its dates, flags, verdicts and largest
// errors. Returns how many calibrations it touched.
size_t placeResults(Database& db, std::vector<PlacedResult> results,
                    const kvtapp::VisitRules& rules);

// Brings a calibration up to date from its results.
void summarise(Database& db, int64_t calibration);

// The instrument of the tag, made when the archive does not know it.
int64_t instrumentId(Database& db, const std::string& tag, bool untagged);

// The step of migration 3: the stamps of every result judged against its upload, the results
// grouped into calibrations, version 2's certificates carried over, the certificate counter set
// past every number given.
void groupVersion2(Database& db);

}  // namespace kvtarchive
