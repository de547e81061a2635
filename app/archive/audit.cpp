#include "archive/audit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "archive/database.h"
#include "archive/fields.h"
#include "base/platform.h"
#include "base/time.h"

namespace kvtarchive {
namespace {

using json = nlohmann::ordered_json;

// Keys a statement names at most.
constexpr size_t kKeysPerStatement = 500;
// The hash before the first row.
const std::string kGenesis(64, '0');

// A column and how its cells are read: 'i' a whole number, 'r' a real, 't' text, 'b' bytes.
struct Column {
    const char* name;
    char type;
};

// A sealed table: the column that keys its rows (an expression for a table of one row), its
// columns, and the tables that hang on it by their first column.
struct Sealed {
    const char* table;
    const char* key;
    std::vector<Column> columns;
    std::vector<const char*> children;
    bool numericKey = true;
};

const std::vector<Sealed>& sealed() {
    static const std::vector<Sealed> list = {
        {"schema_version", "version", {{"applied", 't'}}, {}},
        {"uploads",
         "id",
         {{"calibrator_model", 't'},
          {"calibrator_firmware", 't'},
          {"calibrator_serial", 't'},
          {"uploaded", 't'},
          {"host", 't'},
          {"user_name", 't'},
          {"technician", 't'},
          {"source", 't'}},
         {}},
        {"instruments", "id", {{"tag", 't'}, {"interval_days", 'i'}, {"untagged", 'i'}}, {}},
        {"events",
         "id",
         {{"instrument_id", 'i'},
          {"upload_id", 'i'},
          {"date", 't'},
          {"day", 'i'},
          {"as_found", 't'},
          {"as_left", 't'},
          {"as_found_error", 'r'},
          {"as_left_error", 'r'},
          {"ambient_temperature", 'r'},
          {"humidity", 'r'},
          {"remarks", 't'}},
         {}},
        {"event_certificates", "number", {{"event_id", 'i'}, {"issued", 't'}}, {}},
        {"calibrations",
         "id",
         {{"instrument_id", 'i'},
          {"date", 't'},
          {"day", 'i'},
          {"stamp_day", 'i'},
          {"clock_suspect", 'i'},
          {"date_impossible", 'i'},
          {"confirmed_date", 't'},
          {"confirmed_by", 't'},
          {"confirmed_at", 't'},
          {"as_found", 't'},
          {"as_left", 't'},
          {"as_found_error", 'r'},
          {"as_left_error", 'r'}},
         {"calibration_standards"}},
        {"calibration_standards",
         "calibration_id",
         {{"kind", 't'},
          {"serial", 't'},
          {"certificate", 't'},
          {"calibrated", 't'},
          {"due", 't'},
          {"status", 't'},
          {"standard", 't'},
          {"recorded", 't'}},
         {}},
        {"results",
         "id",
         {{"upload_id", 'i'},      {"event_id", 'i'},
          {"calibration_id", 'i'}, {"calibrator_serial", 't'},
          {"taken", 't'},          {"result_hash", 't'},
          {"memory_index", 'i'},   {"tag", 't'},
          {"text1", 't'},          {"text2", 't'},
          {"task", 't'},           {"strategy", 't'},
          {"as_left", 'i'},        {"verdict", 't'},
          {"tolerance", 'r'},      {"largest_error", 'r'},
          {"input_unit", 't'},     {"output_unit", 't'},
          {"setup_input", 't'},    {"setup_output", 't'},
          {"setup_rest", 't'},     {"result_code", 'i'},
          {"problem", 't'},        {"stamp_problem", 't'},
          {"decoded", 't'},        {"records_sha256", 't'}},
         {"points", "result_records"}},
        {"points",
         "result_id",
         {{"point", 'i'},
          {"fraction", 'r'},
          {"direction", 't'},
          {"nominal_source", 'r'},
          {"source", 'r'},
          {"source_limit", 'r'},
          {"expected", 'r'},
          {"reading", 'r'},
          {"reading_limit", 'r'},
          {"recorded_error", 'r'},
          {"error", 'r'},
          {"verdict", 't'}},
         {}},
        {"result_records",
         "result_id",
         {{"role", 't'}, {"memory", 't'}, {"memory_index", 'i'}, {"record_hash", 't'}},
         {}},
        {"instrument_identities",
         "id",
         {{"instrument_id", 'i'},
          {"make", 't'},
          {"model", 't'},
          {"serial_number", 't'},
          {"measuring_range", 't'},
          {"customer", 't'},
          {"set_at", 't'},
          {"source", 't'}},
         {}},
        {"standard_certificates",
         "serial || ' / ' || certificate",
         {{"calibrated", 't'}, {"due", 't'}, {"standard", 't'}, {"recorded", 't'}},
         {},
         false},
        {"certificates",
         "number",
         {{"calibration_id", 'i'},
          {"issued", 't'},
          {"issued_at", 't'},
          {"issued_by", 't'},
          {"replaces", 'i'},
          {"reason", 't'},
          {"replaced_by", 'i'},
          {"ambient_temperature", 'r'},
          {"humidity", 'r'},
          {"remarks", 't'},
          {"content", 't'},
          {"document", 't'},
          {"sha256", 't'}},
         {}},
        {"certificate_numbers", "'counter'", {{"next", 'i'}}, {}, false},
    };
    return list;
}

const Sealed& sealedTable(const std::string& table) {
    for (const Sealed& s : sealed()) {
        if (s.table == table) return s;
    }
    throw ArchiveError("the audit trail knows no table " + table);
}

// A cell as the same JSON value on either engine, whatever its engine hands out; a cell that
// does not hold its column's kind (written by other software) is kept as its text, marked.
json cellValue(const Row& row, const Column& c) {
    if (row.isNull(c.name)) return nullptr;
    const Field any{"", c.name, c.name, "", -fields::kUnbounded, fields::kUnbounded};
    try {
        switch (c.type) {
            case 'i':
                return row.integer(any);
            case 'r':
                return row.real(any);
            case 'b': {
                const std::vector<uint8_t> bytes = row.blob(any);
                return sha256Hex(bytes);
            }
            default:
                return row.text(c.name);
        }
    } catch (const ArchiveError&) {
        return "!" + row.text(c.name);
    }
}

std::string selectList(const Sealed& s) {
    std::string sql = std::string(s.key) + " AS audit_key";
    for (const Column& c : s.columns)
        sql += std::string(", ") + c.name;
    return sql;
}

// The rows of the table keyed as given (all of them when keys is null), each as its key and
// the JSON of its cells, in the order of the key and of the columns.
std::map<std::string, json> readRows(Database& db, const Sealed& s,
                                     const std::set<std::string>* keys) {
    std::map<std::string, json> rows;
    const auto take = [&](const std::vector<Row>& found) {
        for (const Row& r : found) {
            json cells = json::array();
            for (const Column& c : s.columns)
                cells.push_back(cellValue(r, c));
            const std::string key = r.text("audit_key");
            json& at = rows[key];
            if (at.is_null()) at = json::array();
            at.push_back(std::move(cells));  // a child table gives several rows a key
        }
    };
    const std::string head = "SELECT " + selectList(s) + " FROM " + s.table;
    if (!keys || !s.numericKey) {
        take(db.query(head, {}));
        if (keys) {
            for (auto it = rows.begin(); it != rows.end();)
                it = keys->count(it->first) ? std::next(it) : rows.erase(it);
        }
        return rows;
    }
    std::vector<Value> batch;
    std::string places;
    const auto flush = [&] {
        if (batch.empty()) return;
        take(db.query(head + " WHERE " + s.key + " IN (" + places + ")", batch));
        batch.clear();
        places.clear();
    };
    for (const std::string& key : *keys) {
        int64_t number = 0;
        const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), number);
        if (error != std::errc() || end != key.data() + key.size()) continue;
        batch.emplace_back(number);
        places += (places.empty() ? "$" : ", $") + std::to_string(batch.size());
        if (batch.size() == kKeysPerStatement) flush();
    }
    flush();
    return rows;
}

std::string sha256Of(const std::string& text) {
    return sha256Hex(std::vector<uint8_t>(text.begin(), text.end()));
}

// JSON as text; a text that is not UTF-8 (written by other software, or typed into a form)
// is kept with U+FFFD for its bad bytes rather than refused.
std::string textOf(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A child table's rows in a stable order, whatever order the engine gave them in.
json sortedRows(json rows) {
    std::vector<std::string> texts;
    for (const json& r : rows)
        texts.push_back(textOf(r));
    std::sort(texts.begin(), texts.end());
    json sortedList = json::array();
    for (const std::string& t : texts)
        sortedList.push_back(json::parse(t));
    return sortedList;
}

}  // namespace

const std::vector<std::string>& sealedTables() {
    static const std::vector<std::string> names = [] {
        // A table that hangs on another is sealed with the row it hangs on.
        std::set<std::string> children;
        for (const Sealed& s : sealed())
            children.insert(s.children.begin(), s.children.end());
        std::vector<std::string> list;
        for (const Sealed& s : sealed()) {
            if (!children.count(s.table)) list.push_back(s.table);
        }
        return list;
    }();
    return names;
}

std::map<std::string, std::string> sealRows(Database& db, const std::string& table,
                                            const std::set<std::string>* keys) {
    const Sealed& s = sealedTable(table);
    std::map<std::string, json> rows = readRows(db, s, keys);
    std::vector<std::map<std::string, json>> children;
    for (const char* child : s.children)
        children.push_back(readRows(db, sealedTable(child), keys ? keys : nullptr));
    std::map<std::string, std::string> seals;
    for (auto& [key, cells] : rows) {
        json content = json::array({table, key, cells.size() == 1 ? cells[0] : cells});
        for (size_t c = 0; c < children.size(); ++c) {
            const auto it = children[c].find(key);
            content.push_back(sortedRows(it == children[c].end() ? json::array() : it->second));
        }
        // Two rows under one key are not what the tool writes: their seal tells them apart.
        seals[key] = sha256Of(textOf(content));
    }
    return seals;
}

Touched everyRow(Database& db) {
    Touched all;
    for (const std::string& table : sealedTables()) {
        for (const auto& [key, seal] : sealRows(db, table, nullptr))
            all[table].insert(key);
    }
    return all;
}

bool hasAudit(Database& db) {
    const std::vector<std::string> tables = db.tables();
    return std::find(tables.begin(), tables.end(), "audit") != tables.end();
}

void appendAudit(Database& db, const Actor& actor, const std::string& change,
                 const Touched& touched, const json& facts) {
    db.lockAudit();
    // Keys sorted by a tree: a migration's row touches every row of the archive.
    nlohmann::json seals = nlohmann::json::object();
    for (const auto& [table, keys] : touched) {
        if (keys.empty()) continue;
        const std::map<std::string, std::string> found = sealRows(db, table, &keys);
        for (const std::string& key : keys) {
            const auto it = found.find(key);
            // A row the change removed is sealed as gone.
            seals[table][key] =
                it == found.end() ? nlohmann::json(nullptr) : nlohmann::json(it->second);
        }
    }
    const std::vector<Row> head =
        db.query("SELECT id, sha256 FROM audit ORDER BY id DESC LIMIT 1", {});
    const int64_t id = head.empty() ? 1 : head[0].integer(fields::kAuditId) + 1;
    const std::string previous = head.empty() ? kGenesis : head[0].text("sha256");
    AuditEntry entry;
    entry.id = id;
    entry.at = kvtapp::utcTime();
    entry.technician = actor.technician;
    entry.osUser = actor.osUser.empty() ? kvtapp::platform::userName() : actor.osUser;
    entry.command = actor.command;
    entry.change = change;
    entry.touched = textOf(seals);
    entry.facts = textOf(facts.is_object() ? facts : json::object());
    entry.previous = previous;
    db.insert("audit", {{"id", id},
                        {"at", entry.at},
                        {"technician", entry.technician},
                        {"os_user", entry.osUser},
                        {"command", entry.command},
                        {"change", entry.change},
                        {"touched", entry.touched},
                        {"facts", entry.facts},
                        {"previous", entry.previous},
                        {"sha256", entry.contentSha256()}});
}

// Each field as its count of bytes, a colon, the bytes and a line feed: no field can pass for
// another, and nothing needs escaping.
std::string AuditEntry::contentSha256() const {
    std::string content = std::to_string(id) + "\n";
    content.reserve(content.size() + touched.size() + facts.size() + command.size() + 256);
    for (const std::string* field :
         {&at, &technician, &osUser, &command, &change, &touched, &facts, &previous}) {
        content += std::to_string(field->size());
        content += ':';
        content += *field;
        content += '\n';
    }
    return sha256Of(content);
}

std::string recordHash(uint16_t kind, uint16_t version, const std::string& stamp,
                       const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    bytes.reserve(5 + stamp.size() + data.size());
    for (uint16_t word : {kind, version}) {
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    bytes.insert(bytes.end(), stamp.begin(), stamp.end());
    bytes.push_back(0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return sha256Hex(bytes);
}

std::string recordsSha256(std::vector<RecordLink> links) {
    std::vector<std::string> lines;
    for (const RecordLink& l : links)
        lines.push_back(l.role + "\n" + l.memory + "\n" + std::to_string(l.index) + "\n" +
                        l.recordHash + "\n");
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return sha256Of(text);
}

std::map<int64_t, std::string> storedRecordsSha256(Database& db,
                                                   const std::vector<int64_t>* results) {
    std::string sql =
        "SELECT x.result_id, x.role, x.memory, x.memory_index, c.kind, c.version, c.stamp, "
        "c.data, c.hash AS record_hash FROM result_records x LEFT JOIN records c ON c.hash = "
        "x.record_hash";
    std::map<int64_t, std::vector<RecordLink>> links;
    const auto take = [&](const std::vector<Row>& rows) {
        for (const Row& r : rows) {
            std::string hash;
            if (!r.isNull("record_hash")) {
                try {
                    hash = recordHash(static_cast<uint16_t>(r.integer(fields::kKind)),
                                      static_cast<uint16_t>(r.integer(fields::kVersion)),
                                      r.text("stamp"), r.blob(fields::kData));
                } catch (const ArchiveError&) {
                    hash = "damaged";
                }
            }
            const Field memoryIndex{"result_records", "memory_index",      "memory_index",
                                    "result_id",      -fields::kUnbounded, fields::kUnbounded};
            int64_t index = 0;
            try {
                index = r.integer(memoryIndex);
            } catch (const ArchiveError&) {
                index = -1;
            }
            links[r.integer(fields::kResultId)].push_back(
                {r.text("role"), r.text("memory"), index, hash});
        }
    };
    if (!results) {
        take(db.query(sql, {}));
    } else {
        for (size_t start = 0; start < results->size(); start += kKeysPerStatement) {
            std::vector<Value> batch;
            std::string places;
            for (size_t i = start; i < std::min(results->size(), start + kKeysPerStatement); ++i) {
                batch.emplace_back((*results)[i]);
                places += (places.empty() ? "$" : ", $") + std::to_string(batch.size());
            }
            take(db.query(sql + " WHERE x.result_id IN (" + places + ")", batch));
        }
    }
    std::map<int64_t, std::string> hashes;
    for (auto& [result, list] : links)
        hashes[result] = recordsSha256(std::move(list));
    return hashes;
}

}  // namespace kvtarchive
