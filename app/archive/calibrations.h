// Within the archive: results put into the calibrations of their instruments, each calibration
// then brought up to date from its results, and the move of a version 2 archive's events into
// calibrations. Each runs inside the caller's transaction.
#pragma once

#include <cstdint>
#include <set>
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

// The rows placing changed: the instruments of the results, the calibrations made or brought up
// to date, those left without results and removed, and every result that went into another
// calibration (the new ones among them).
struct Placed {
    std::set<int64_t> instruments;
    std::set<int64_t> calibrations;
    std::set<int64_t> removed;
    std::set<int64_t> moved;
};

// Puts each result into a calibration of its instrument (one it joins, else a new one), then
// brings every calibration it touched up to date: its dates, flags, verdicts and largest
// errors.
Placed placeResults(Database& db, std::vector<PlacedResult> results,
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
