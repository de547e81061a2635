// An archive made ready for a lab: its schema brought up to date, and on PostgreSQL the roles a
// lab gives its logins: one that stores (the benches) and one that only reads (the web page, a
// quality manager's queries). Run as the database's owner; running it again changes nothing
// but what a newer kvtlnk adds, and grants the roles the tables it made.
#pragma once

#include <string>
#include <vector>

#include "archive/archive.h"

namespace kvtarchive {

struct Roles {
    std::string store = "kvtlnk_store";
    std::string read = "kvtlnk_read";
};

struct InitOutcome {
    std::string engine;                  // "sqlite" or "postgresql"
    std::string where;                   // the archive, for messages (no password)
    std::string database, schema;        // PostgreSQL's database and schema holding the tables
    int version = 0;                     // the schema version it is at now
    std::vector<std::string> rolesMade;  // the roles that did not exist before
};

// A role name a lab may give: a lowercase letter or "_", then lowercase letters, digits and
// "_", 63 at most, so it needs no quoting in the lab's own SQL.
bool isRoleName(const std::string& name);

// Makes or brings up to date the archive at location and, on PostgreSQL, the roles (made
// without login when missing) with their rights on the archive's tables: the store role may
// read, add and update rows, the read role may only read. ArchiveError when it cannot: a bad
// role name, or a connection without the right to make roles or tables.
// The actor is who the archive's audit trail names for what init changes.
InitOutcome initArchive(const std::string& location, const Roles& roles, const Actor& actor = {});

}  // namespace kvtarchive
