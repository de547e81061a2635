// The archive's audit trail, inside the archive: every change appends one row in the change's
// own transaction, holding who made it and with what command, and the SHA-256 of each row it
// touched as the change left it. Each audit row carries the SHA-256 of its own content and of
// the row before it, so that the rows form one chain.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace kvtarchive {

class Database;

// The rows a change touched, by table then key.
using Touched = std::map<std::string, std::set<std::string>>;

// A row's content, with what hangs on it (a result's points and the links to its records), as
// one SHA-256 per key; every row of the table when keys is null.
std::map<std::string, std::string> sealRows(Database& db, const std::string& table,
                                            const std::set<std::string>* keys);
// The tables whose rows the trail seals.
const std::vector<std::string>& sealedTables();

// Appends the change's audit row (the chain's lock held to the end of the transaction, so that
// writers append one after the other); facts, an object, go into it as they are.
void appendAudit(Database& db, const Actor& actor, const std::string& change,
                 const Touched& touched, const nlohmann::ordered_json& facts);

// Every row of every sealed table, for a change that vouches for the whole archive (a
// migration).
Touched everyRow(Database& db);

// The SHA-256 of a result's raw records: one line per record (role, memory, place and the
// SHA-256 of its header, stamp and bytes), in order.
struct RecordLink {
    std::string role, memory;
    int64_t index = 0;
    std::string recordHash;
};
std::string recordsSha256(std::vector<RecordLink> links);
// The same, for each stored result, from the bytes the archive holds now (a record that is
// missing counts as empty); only for the results given, when given.
std::map<int64_t, std::string> storedRecordsSha256(Database& db,
                                                   const std::vector<int64_t>* results = nullptr);

// The SHA-256 of a record's kind, version, stamp and bytes: its key in the records table.
std::string recordHash(uint16_t kind, uint16_t version, const std::string& stamp,
                       const std::vector<uint8_t>& data);

// Whether the archive has an audit trail yet (an archive being brought up to date may not).
bool hasAudit(Database& db);

}  // namespace kvtarchive
