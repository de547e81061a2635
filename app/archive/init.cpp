#include "archive/init.h"

#include <algorithm>
#include <regex>

#include "archive/archive.h"
#include "archive/database.h"
#include "archive/schema.h"

namespace kvtarchive {
namespace {

// The archive's tables: those its migrations create or rename, and the version table; each
// once.
std::vector<std::string> archiveTables() {
    static const std::regex created(R"((?:CREATE TABLE|RENAME TO) (\w+))");
    std::vector<std::string> tables = {"schema_version"};
    for (const Migration& m : migrations()) {
        const std::string sql = m.sql;
        for (auto it = std::sregex_iterator(sql.begin(), sql.end(), created);
             it != std::sregex_iterator(); ++it) {
            if (std::find(tables.begin(), tables.end(), (*it)[1]) == tables.end())
                tables.push_back((*it)[1]);
        }
    }
    return tables;
}

// An identifier in double quotes, as PostgreSQL reads any name.
std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (char c : name)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}

bool makeRole(Database& db, const std::string& role) {
    if (!db.query("SELECT 1 FROM pg_roles WHERE rolname = $1", {role}).empty()) return false;
    db.script("CREATE ROLE " + quoted(role) + " NOLOGIN");
    return true;
}

void grant(Database& db, const std::string& schema, const Roles& roles) {
    std::string sql = "GRANT USAGE ON SCHEMA " + quoted(schema) + " TO " + quoted(roles.store) +
                      ", " + quoted(roles.read);
    for (const std::string& table : archiveTables()) {
        const std::string name = quoted(schema) + "." + quoted(table);
        sql += ";\nGRANT SELECT ON " + name + " TO " + quoted(roles.read) +
               ";\nGRANT SELECT, INSERT, UPDATE ON " + name + " TO " + quoted(roles.store);
    }
    db.script(sql);
}

}  // namespace

bool isRoleName(const std::string& name) {
    static const std::regex role("[a-z_][a-z0-9_]{0,62}");
    return std::regex_match(name, role);
}

InitOutcome initArchive(const std::string& location, const Roles& roles, const Actor& actor) {
    for (const std::string& role : {roles.store, roles.read}) {
        if (!isRoleName(role)) {
            throw ArchiveError("\"" + role +
                               "\" is not a role name for the archive: a lowercase letter or _, "
                               "then lowercase letters, digits and _, 63 at most");
        }
    }
    if (roles.store == roles.read) {
        throw ArchiveError("the role that stores and the role that only reads must differ");
    }
    InitOutcome outcome;
    if (!isPostgresLocation(location)) {
        const std::unique_ptr<Archive> archive = Archive::open(location, Access::Store, actor);
        outcome = {archive->engine(), location, "", "", archive->schemaVersion(), {}};
        return outcome;
    }
    const std::unique_ptr<Database> db = openPostgres(location);
    migrate(*db, actor);
    const Row names =
        db->query("SELECT current_database() AS database, current_schema() AS schema", {}).at(0);
    outcome = {db->engine(),         db->where(),        names.text("database"),
               names.text("schema"), schemaVersion(*db), {}};
    try {
        Transaction transaction(*db);
        for (const std::string& role : {roles.store, roles.read}) {
            if (makeRole(*db, role)) outcome.rolesMade.push_back(role);
        }
        grant(*db, outcome.schema, roles);
        transaction.commit();
    } catch (const ArchiveError& e) {
        throw ArchiveError(std::string(e.what()) +
                           "\n(archive init makes roles and grants them the archive's tables: "
                           "connect as the database's owner, with the right to make roles)");
    }
    return outcome;
}

}  // namespace kvtarchive
