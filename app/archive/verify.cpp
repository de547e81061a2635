// The audit trail read back: the log as it stands, and the check that finds every row and record
// that no change of the tool left as it is: the chain computed again row by row, every sealed row
// compared with the hash its last change left, every result's raw records hashed again.
#include <fmt/format.h>

#include <set>

#include "archive/archive.h"
#include "archive/audit.h"
#include "archive/database.h"
#include "archive/fields.h"

namespace kvtarchive {
namespace {

using json = nlohmann::ordered_json;

const char* const kAuditColumns =
    "id, at, technician, os_user, command, change, touched, facts, previous, sha256";

std::vector<AuditEntry> readEntries(Database& db, const std::string& since, size_t newest = 0) {
    std::string sql = std::string("SELECT ") + kAuditColumns + " FROM audit WHERE at >= $1";
    if (newest) {
        sql = std::string("SELECT ") + kAuditColumns + " FROM (" + sql +
              " ORDER BY id DESC LIMIT " + std::to_string(newest) + ") AS newest";
    }
    std::vector<AuditEntry> entries;
    for (const Row& r : db.query(sql + " ORDER BY id", {since})) {
        entries.push_back({r.integer(fields::kAuditId), r.text("at"), r.text("technician"),
                           r.text("os_user"), r.text("command"), r.text("change"),
                           r.text("touched"), r.text("facts"), r.text("previous"),
                           r.text("sha256")});
    }
    return entries;
}

std::string shortHash(const std::string& hash) {
    return hash.substr(0, 12);
}

// What the chain says each sealed row holds: the seal its last change left ("" when that change
// removed it), by table then key.
using Expected = std::map<std::string, std::map<std::string, std::string>>;

void checkChain(const std::vector<AuditEntry>& entries, const std::vector<Witness>& witnesses,
                AuditVerdict& verdict, Expected& expected) {
    std::map<int64_t, const AuditEntry*> byId;
    std::string previous(64, '0');
    int64_t next = 1;
    for (const AuditEntry& e : entries) {
        if (!witnesses.empty()) byId[e.id] = &e;
        const auto finding = [&](const std::string& what, const std::string& key,
                                 const std::string& detail) {
            verdict.findings.push_back({what, "audit", key, detail});
        };
        if (e.id > next) {
            finding(
                "deleted",
                e.id == next + 1 ? std::to_string(next) : fmt::format("{} to {}", next, e.id - 1),
                "the chain has no row there");
        } else if (e.previous != previous) {
            finding("changed", std::to_string(e.id),
                    "does not follow the row before it: that row was changed and its hash "
                    "computed again, or this one put in between");
        }
        if (e.contentSha256() != e.sha256) {
            finding("changed", std::to_string(e.id),
                    "its content does not hash to its SHA-256 " + shortHash(e.sha256));
        }
        previous = e.sha256;
        next = e.id + 1;
        const nlohmann::json touched = nlohmann::json::parse(e.touched, nullptr, false);
        if (!touched.is_object()) continue;
        for (const auto& [table, rows] : touched.items()) {
            if (!rows.is_object()) continue;
            for (const auto& [key, seal] : rows.items())
                expected[table][key] = seal.is_string() ? seal.get<std::string>() : "";
        }
    }
    verdict.rows = entries.size();
    if (!entries.empty()) {
        verdict.headId = entries.back().id;
        verdict.head = entries.back().sha256;
    }
    for (const Witness& w : witnesses) {
        const auto it = byId.find(w.id);
        if (it == byId.end()) {
            verdict.findings.push_back(
                {"deleted", "audit", std::to_string(w.id), "a row witnessed, gone from the chain"});
        } else if (it->second->sha256 != w.sha256) {
            verdict.findings.push_back(
                {"changed", "audit", std::to_string(w.id),
                 "its SHA-256 is not the one witnessed (" + shortHash(w.sha256) +
                     "): the chain was computed again from this row or one before it"});
        }
    }
}

void checkRows(Database& db, const Expected& expected, AuditVerdict& verdict) {
    for (const std::string& table : sealedTables()) {
        const std::map<std::string, std::string> actual = sealRows(db, table, nullptr);
        const auto known = expected.find(table);
        static const std::map<std::string, std::string> none;
        const std::map<std::string, std::string>& sealed =
            known == expected.end() ? none : known->second;
        verdict.sealed += actual.size();
        for (const auto& [key, seal] : actual) {
            const auto it = sealed.find(key);
            if (it == sealed.end() || it->second.empty()) {
                verdict.findings.push_back({"inserted", table, key,
                                            it == sealed.end() ? "no change of kvtlnk made it"
                                                               : "a change of kvtlnk removed it"});
            } else if (it->second != seal) {
                verdict.findings.push_back(
                    {"changed", table, key,
                     "it is not as the change that last touched it left it"});
            }
        }
        for (const auto& [key, seal] : sealed) {
            if (!seal.empty() && !actual.count(key)) {
                verdict.findings.push_back(
                    {"deleted", table, key, "a change of kvtlnk made it and none removed it"});
            }
        }
    }
}

// Records are matched to the results that rest on them here rather than by the database, which
// has no index of result_records by record.
void checkRecords(Database& db, AuditVerdict& verdict) {
    std::set<std::string> linked;
    for (const Row& r : db.query("SELECT DISTINCT record_hash FROM result_records", {}))
        linked.insert(r.text("record_hash"));
    std::set<std::string> held;
    for (const Row& r : db.query("SELECT hash AS record_hash, kind, version, stamp, data FROM "
                                 "records",
                                 {})) {
        const std::string key = r.text("record_hash");
        held.insert(key);
        std::string hash;
        try {
            hash = recordHash(static_cast<uint16_t>(r.integer(fields::kKind)),
                              static_cast<uint16_t>(r.integer(fields::kVersion)), r.text("stamp"),
                              r.blob(fields::kData));
        } catch (const ArchiveError&) {
            hash = "damaged";
        }
        if (hash != key) {
            verdict.findings.push_back({"changed", "records", key, "its bytes hash otherwise"});
        } else if (!linked.count(key)) {
            verdict.findings.push_back({"inserted", "records", key, "no result rests on it"});
        }
    }
    for (const std::string& key : linked) {
        if (!held.count(key))
            verdict.findings.push_back({"deleted", "records", key, "a result rests on it"});
    }
    const std::map<int64_t, std::string> computed = storedRecordsSha256(db);
    for (const Row& r : db.query("SELECT id AS result_id, records_sha256 FROM results", {})) {
        ++verdict.results;
        const int64_t id = r.integer(fields::kResultId);
        const auto it = computed.find(id);
        const std::string now = it == computed.end() ? recordsSha256({}) : it->second;
        if (r.text("records_sha256") != now) {
            verdict.findings.push_back({"changed", "results", std::to_string(id),
                                        "its raw records do not hash to the SHA-256 kept with it"});
        }
    }
}

}  // namespace

std::string AuditVerdict::line() const {
    const auto count = [](size_t n, const char* one, const char* many) {
        return fmt::format("{} {}", n, n == 1 ? one : many);
    };
    if (whole()) {
        return fmt::format(
            "whole: {} chained to row {} ({}), {} as their changes left them, "
            "the raw records of {} as stored",
            count(rows, "audit row", "audit rows"), headId, head.empty() ? "none" : shortHash(head),
            count(sealed, "row", "rows"), count(results, "result", "results"));
    }
    return fmt::format("changed behind kvtlnk's back: {} over {}",
                       count(findings.size(), "finding", "findings"),
                       count(rows, "audit row", "audit rows"));
}

std::vector<AuditEntry> Archive::auditLog(const std::string& since, size_t newest) {
    return readEntries(*db_, since, newest);
}

int64_t Archive::auditCount(const std::string& since) {
    return db_->query("SELECT COUNT(*) AS n FROM audit WHERE at >= $1", {since})
        .at(0)
        .integer(fields::kAuditCount);
}

AuditVerdict Archive::verify(const std::vector<Witness>& witnesses) {
    AuditVerdict verdict;
    Expected expected;
    // One snapshot: a bench that stores meanwhile is not taken for a hand behind the tool.
    db_->script(db_->engine() == "postgresql" ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
                                              : "BEGIN");
    try {
        checkChain(readEntries(*db_, ""), witnesses, verdict, expected);
        checkRows(*db_, expected, verdict);
        checkRecords(*db_, verdict);
    } catch (...) {
        db_->script("ROLLBACK");
        throw;
    }
    db_->script("COMMIT");
    return verdict;
}

}  // namespace kvtarchive
