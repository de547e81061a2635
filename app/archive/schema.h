// The archive's schema: a version table and the ordered list of forward migrations that bring
// an archive of any earlier version up to this code's.
#pragma once

#include <string>
#include <vector>

#include "archive/archive.h"

namespace kvtarchive {

class Database;

// Each migration in order: migration n turns an archive of version n - 1 into one of version n.
// Its statements, where {id}, {sequence} and {blob} stand for the engine's words for a
// generated key column, a generated key that is never given twice (not even after its row is
// gone) and a byte column; then, for some, a step that moves what the archive holds into
// the new tables, in the same transaction.
struct Migration {
    const char* sql;
    void (*after)(Database& db);
};
const std::vector<Migration>& migrations();
// Migration n (from 1) in the words of the database's engine.
std::string migrationSql(Database& db, int version);

// The archive's version, 0 for an empty database; throws when the database holds tables but
// is not an archive.
int schemaVersion(Database& db);

// Brings the archive up to date (one transaction, one process at a time); refuses an archive
// newer than this code.
// The step appends its audit row, as made by the actor.
void migrate(Database& db, const Actor& actor = {});

}  // namespace kvtarchive
