#include "archive/schema.h"

#include <algorithm>

#include "archive/archive.h"
#include "archive/audit.h"
#include "archive/calibrations.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"

namespace kvtarchive {
namespace {

// Version 1: uploads, instruments, their calibration events, the results with their test
// points, and the raw records each result rests on (stored once, keyed by their hash).
const char* const kVersion1 = R"(
CREATE TABLE uploads (
    id {id},
    calibrator_model TEXT NOT NULL,
    calibrator_firmware TEXT NOT NULL,
    calibrator_serial TEXT NOT NULL,
    uploaded TEXT NOT NULL,
    host TEXT NOT NULL,
    user_name TEXT NOT NULL,
    technician TEXT NOT NULL,
    source TEXT NOT NULL
);
CREATE TABLE instruments (
    id {id},
    tag TEXT NOT NULL UNIQUE,
    interval_days BIGINT
);
CREATE TABLE events (
    id {id},
    instrument_id BIGINT NOT NULL REFERENCES instruments (id),
    upload_id BIGINT NOT NULL REFERENCES uploads (id),
    date TEXT NOT NULL,
    day BIGINT NOT NULL,
    as_found TEXT,
    as_left TEXT,
    as_found_error DOUBLE PRECISION,
    as_left_error DOUBLE PRECISION,
    UNIQUE (instrument_id, upload_id)
);
CREATE INDEX events_by_instrument ON events (instrument_id, day, id);
CREATE TABLE results (
    id {id},
    upload_id BIGINT NOT NULL REFERENCES uploads (id),
    event_id BIGINT REFERENCES events (id),
    calibrator_serial TEXT NOT NULL,
    taken TEXT NOT NULL,
    result_hash TEXT NOT NULL,
    memory_index BIGINT NOT NULL,
    tag TEXT NOT NULL,
    text1 TEXT NOT NULL,
    text2 TEXT NOT NULL,
    task TEXT NOT NULL,
    strategy TEXT NOT NULL,
    as_left BIGINT NOT NULL,
    verdict TEXT NOT NULL,
    tolerance DOUBLE PRECISION,
    largest_error DOUBLE PRECISION,
    input_unit TEXT NOT NULL,
    output_unit TEXT NOT NULL,
    setup_input TEXT NOT NULL,
    setup_output TEXT NOT NULL,
    setup_rest TEXT NOT NULL,
    result_code BIGINT NOT NULL,
    problem TEXT NOT NULL,
    decoded TEXT NOT NULL,
    UNIQUE (calibrator_serial, taken, result_hash)
);
CREATE INDEX results_by_event ON results (event_id);
CREATE INDEX results_by_upload ON results (upload_id, text1);
CREATE TABLE points (
    result_id BIGINT NOT NULL REFERENCES results (id),
    point BIGINT NOT NULL,
    fraction DOUBLE PRECISION NOT NULL,
    direction TEXT NOT NULL,
    nominal_source DOUBLE PRECISION,
    source DOUBLE PRECISION,
    source_limit DOUBLE PRECISION,
    expected DOUBLE PRECISION,
    reading DOUBLE PRECISION,
    reading_limit DOUBLE PRECISION,
    recorded_error DOUBLE PRECISION,
    error DOUBLE PRECISION,
    verdict TEXT NOT NULL,
    PRIMARY KEY (result_id, point)
);
CREATE TABLE records (
    hash TEXT PRIMARY KEY,
    kind BIGINT NOT NULL,
    version BIGINT NOT NULL,
    stamp TEXT NOT NULL,
    data {blob} NOT NULL
);
CREATE TABLE result_records (
    result_id BIGINT NOT NULL REFERENCES results (id),
    role TEXT NOT NULL,
    memory TEXT NOT NULL,
    memory_index BIGINT NOT NULL,
    record_hash TEXT NOT NULL REFERENCES records (hash),
    PRIMARY KEY (result_id, role)
);
)";

// Version 2: what a calibration certificate adds to an event: the ambient conditions and the
// remarks stored with it, and the certificate numbers, each given once and never again.
const char* const kVersion2 = R"(
ALTER TABLE events ADD COLUMN ambient_temperature DOUBLE PRECISION;
ALTER TABLE events ADD COLUMN humidity DOUBLE PRECISION;
ALTER TABLE events ADD COLUMN remarks TEXT;
CREATE TABLE certificates (
    number {sequence},
    event_id BIGINT NOT NULL UNIQUE REFERENCES events (id),
    issued TEXT NOT NULL
);
)";

// Version 3: calibrations (one instrument, one visit, its results as found and as left from
// one upload or several) in place of events (one instrument in one upload), which stay as
// they were written; why a result's stamp is not believed; untagged instruments; what
// identifies an instrument, each setting kept; the certificates of the reference standards as
// the lab file gave them; certificates as issued, frozen with their document, numbered from a
// counter that a failed issue leaves untouched, version 2's certificates kept beside them.
const char* const kVersion3 = R"(
CREATE TABLE calibrations (
    id {id},
    instrument_id BIGINT NOT NULL REFERENCES instruments (id),
    date TEXT NOT NULL,
    day BIGINT,
    stamp_day BIGINT NOT NULL,
    clock_suspect BIGINT NOT NULL,
    date_impossible BIGINT NOT NULL,
    confirmed_date TEXT,
    confirmed_by TEXT,
    confirmed_at TEXT,
    as_found TEXT,
    as_left TEXT,
    as_found_error DOUBLE PRECISION,
    as_left_error DOUBLE PRECISION
);
CREATE INDEX calibrations_by_instrument ON calibrations (instrument_id, day, id);
ALTER TABLE results ADD COLUMN calibration_id BIGINT REFERENCES calibrations (id);
ALTER TABLE results ADD COLUMN stamp_problem TEXT NOT NULL DEFAULT '';
CREATE INDEX results_by_calibration ON results (calibration_id);
ALTER TABLE instruments ADD COLUMN untagged BIGINT NOT NULL DEFAULT 0;
CREATE TABLE instrument_identities (
    id {id},
    instrument_id BIGINT NOT NULL REFERENCES instruments (id),
    make TEXT NOT NULL,
    model TEXT NOT NULL,
    serial_number TEXT NOT NULL,
    measuring_range TEXT NOT NULL,
    customer TEXT NOT NULL,
    set_at TEXT NOT NULL,
    source TEXT NOT NULL
);
CREATE INDEX identities_by_instrument ON instrument_identities (instrument_id, id);
CREATE TABLE standard_certificates (
    serial TEXT NOT NULL,
    certificate TEXT NOT NULL,
    calibrated TEXT NOT NULL,
    due TEXT NOT NULL,
    standard TEXT NOT NULL,
    recorded TEXT NOT NULL,
    PRIMARY KEY (serial, certificate)
);
ALTER TABLE certificates RENAME TO event_certificates;
CREATE TABLE certificates (
    number BIGINT NOT NULL,
    calibration_id BIGINT NOT NULL REFERENCES calibrations (id),
    issued TEXT NOT NULL,
    issued_at TEXT NOT NULL,
    issued_by TEXT NOT NULL,
    replaces BIGINT REFERENCES certificates (number),
    reason TEXT NOT NULL,
    replaced_by BIGINT,
    ambient_temperature DOUBLE PRECISION,
    humidity DOUBLE PRECISION,
    remarks TEXT NOT NULL,
    content TEXT NOT NULL,
    document TEXT NOT NULL,
    sha256 TEXT NOT NULL,
    CONSTRAINT certificate_number PRIMARY KEY (number),
    CONSTRAINT replaced_once UNIQUE (replaces)
);
CREATE INDEX certificates_by_calibration ON certificates (calibration_id, number);
CREATE TABLE certificate_numbers (next BIGINT NOT NULL);
)";

// Version 4: the audit trail, one row a change, chained by SHA-256 (its id given by the writer
// that holds the chain's lock, in order, never twice); and beside each result the SHA-256 of
// its raw records, computed for the results the archive holds already.
const char* const kVersion4 = R"(
CREATE TABLE audit (
    id BIGINT PRIMARY KEY,
    at TEXT NOT NULL,
    technician TEXT NOT NULL,
    os_user TEXT NOT NULL,
    command TEXT NOT NULL,
    change TEXT NOT NULL,
    touched TEXT NOT NULL,
    facts TEXT NOT NULL,
    previous TEXT NOT NULL,
    sha256 TEXT NOT NULL
);
CREATE INDEX audit_by_time ON audit (at, id);
ALTER TABLE results ADD COLUMN records_sha256 TEXT;
)";

// The step of migration 4: every result's raw records hashed.
void hashRecords(Database& db) {
    for (const auto& [result, hash] : storedRecordsSha256(db))
        db.query("UPDATE results SET records_sha256 = $1 WHERE id = $2", {hash, result});
}

// Version 5: the reference standards and pressure modules each calibration rests on, as the
// lab file gave them when the calibration was stored: the certificate of each in force on the
// calibration's day, with its due date, so that the calibrations that relied on a standard
// are found after the lab file has moved on.
const char* const kVersion5 = R"(
CREATE TABLE calibration_standards (
    calibration_id BIGINT NOT NULL REFERENCES calibrations (id),
    kind TEXT NOT NULL,
    serial TEXT NOT NULL,
    certificate TEXT NOT NULL,
    calibrated TEXT NOT NULL,
    due TEXT NOT NULL,
    status TEXT NOT NULL,
    standard TEXT NOT NULL,
    recorded TEXT NOT NULL,
    PRIMARY KEY (calibration_id, kind, serial)
);
CREATE INDEX calibration_standards_by_serial ON calibration_standards (serial, calibration_id);
)";

const char* const kVersionTable =
    "CREATE TABLE IF NOT EXISTS schema_version (version BIGINT PRIMARY KEY, applied TEXT NOT "
    "NULL)";

std::string replaced(std::string text, const std::string& word, const std::string& by) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size()))
        text.replace(at, word.size(), by);
    return text;
}

}  // namespace

const std::vector<Migration>& migrations() {
    static const std::vector<Migration> list = {{kVersion1, nullptr},
                                                {kVersion2, nullptr},
                                                {kVersion3, groupVersion2},
                                                {kVersion4, hashRecords},
                                                {kVersion5, nullptr}};
    return list;
}

std::string migrationSql(Database& db, int version) {
    const std::string sql =
        replaced(migrations().at(size_t(version) - 1).sql, "{id}", db.idColumn());
    return replaced(replaced(sql, "{sequence}", db.sequenceColumn()), "{blob}", db.blobColumn());
}

int schemaVersion(Database& db) {
    const std::vector<std::string> tables = db.tables();
    if (std::find(tables.begin(), tables.end(), "schema_version") == tables.end()) {
        if (tables.empty()) return 0;
        throw ArchiveError(db.where() +
                           " is not a kvtlnk archive: it holds other tables and no schema_version");
    }
    // Every row, each checked: the version of an archive is the largest.
    int64_t version = 0;
    for (const Row& r : db.query("SELECT version FROM schema_version", {}))
        version = std::max(version, r.integer(fields::kSchemaVersion));
    return static_cast<int>(version);
}

void migrate(Database& db, const Actor& actor) {
    const int known = static_cast<int>(migrations().size());
    const auto refuseNewer = [&](int version) {
        if (version <= known) return;
        throw ArchiveError("the archive " + db.where() + " has schema version " +
                           std::to_string(version) + ", newer than this kvtlnk knows (" +
                           std::to_string(known) + "): use a newer kvtlnk");
    };
    int version = schemaVersion(db);
    refuseNewer(version);
    if (version == known) return;
    Transaction transaction(db);
    db.lockSchema();
    db.script(kVersionTable);
    const int from = schemaVersion(db);  // another process may have brought it up meanwhile
    refuseNewer(from);
    if (from == known) return;
    for (int next = from + 1; next <= known; ++next) {
        db.script(migrationSql(db, next));
        if (migrations()[size_t(next) - 1].after) migrations()[size_t(next) - 1].after(db);
        db.insert("schema_version", {{"version", next}, {"applied", kvtapp::utcTime()}});
    }
    // The migration vouches for every row as it leaves it: the trail starts, or goes on, there.
    appendAudit(db, actor, from == 0 ? "archive made" : "schema brought up to date", everyRow(db),
                {{"from", from}, {"to", known}});
    transaction.commit();
}

}  // namespace kvtarchive
