// One archive's results copied into another: a bench's SQLite archive into the lab's shared
// one. Each upload goes in through the archive's own add, in a transaction of its own, so a
// result the destination holds already is skipped by its key: copying again adds nothing, and a
// copy that was cut short goes on where it stopped.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace kvtarchive {

struct CopyOutcome {
    size_t uploads = 0;  // the source's uploads
    size_t results = 0;  // the source's results
    size_t added = 0;    // results the destination did not hold
    size_t held = 0;     // results it held already
    // Intervals set in the source that the destination now has; and those it kept, as it had
    // one of its own for that instrument ("TT-204: 180 days kept, the source has 365").
    size_t intervals = 0;
    std::vector<std::string> intervalsKept;
    // The check after the copy: the source's results that the destination holds on the same
    // records (each result's fingerprint compared), and the SHA-256 of all the source's
    // fingerprints, which the destination's for those results then hash to as well.
    size_t verified = 0;
    std::string digest;
};

// Copies every upload of from into to, oldest first; progress hears each upload done (and may
// throw to stop between two of them). Then checks that to holds every result of from on the
// same records: an ArchiveError naming how many it lacks or holds otherwise when it does not.
CopyOutcome copyArchive(Archive& from, Archive& to,
                        const std::function<void(size_t done, size_t total)>& progress = {});

}  // namespace kvtarchive
