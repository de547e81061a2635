// Opening an archive and adding uploads to it.
#include "archive.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "database.h"
#include "schema.h"

namespace kvtarchive {
namespace {

// Parameters a statement of many rows takes at most (older SQLite builds allow 999).
constexpr size_t kParamsPerStatement = 900;
// Tries of an add that the server broke off to resolve a deadlock with another bench.
constexpr int kAddAttempts = 3;

std::vector<uint8_t> headerAndData(const StoredRecord& r, bool withStamp) {
    std::vector<uint8_t> bytes;
    bytes.reserve(5 + r.stamp.size() + r.data.size());
    for (uint16_t word : {r.kind, r.version}) {
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    if (withStamp) {
        for (char c : r.stamp)
            bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    for (uint8_t b : r.data)
        bytes.push_back(b);
    return bytes;
}

std::string recordHash(const StoredRecord& r) {
    return sha256Hex(headerAndData(r, true));
}

const StoredRecord& resultRecord(const Result& r) {
    for (const StoredRecord& record : r.records) {
        if (record.role == "result") return record;
    }
    throw ArchiveError("the result taken " + r.taken + " comes without its record");
}

// The key of a result beside the calibrator's serial number and the stamp.
std::string resultHash(const Result& r) {
    return sha256Hex(headerAndData(resultRecord(r), false));
}

double largestError(const std::vector<Point>& points) {
    double largest = kNone;
    for (const Point& p : points) {
        if (!std::isnan(p.error) && !(std::fabs(p.error) <= std::fabs(largest))) largest = p.error;
    }
    return largest;
}

// "fail" over "pass" over "not judged"; empty for no result.
std::string combined(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a.empty() ? b : a;
    if (a == "fail" || b == "fail") return "fail";
    if (a == "pass" || b == "pass") return "pass";
    return a;
}

double larger(double a, double b) {
    if (std::isnan(a)) return b;
    return std::isnan(b) || std::fabs(a) >= std::fabs(b) ? a : b;
}

// Inserts rows of the given width, as many to a statement as the parameter limit allows.
void insertRows(Database& db, const std::string& head, size_t width,
                const std::vector<Value>& values, const std::string& tail = "") {
    const size_t perStatement = std::max<size_t>(1, kParamsPerStatement / width) * width;
    for (size_t start = 0; start < values.size(); start += perStatement) {
        const size_t end = std::min(values.size(), start + perStatement);
        std::string sql = head + " VALUES ";
        for (size_t i = start; i < end; i += width) {
            sql += i == start ? "(" : ", (";
            for (size_t c = 0; c < width; ++c)
                sql += (c ? ", $" : "$") + std::to_string(i - start + c + 1);
            sql += ")";
        }
        db.query(sql + tail, std::vector<Value>(values.begin() + static_cast<ptrdiff_t>(start),
                                                values.begin() + static_cast<ptrdiff_t>(end)));
    }
}

// Every record of the upload once, in the order of their hashes, so that benches adding at
// once take the rows' locks in one order.
void insertRecords(Database& db, const Upload& upload) {
    std::map<std::string, const StoredRecord*> byHash;
    for (const Result& r : upload.results) {
        for (const StoredRecord& record : r.records)
            byHash.emplace(recordHash(record), &record);
    }
    std::vector<Value> values;
    for (const auto& [hash, r] : byHash) {
        values.insert(values.end(),
                      {hash, static_cast<int64_t>(r->kind), static_cast<int64_t>(r->version),
                       r->stamp, Value::blob(r->data)});
    }
    insertRows(db, "INSERT INTO records (hash, kind, version, stamp, data)", 5, values,
               " ON CONFLICT (hash) DO NOTHING");
}

void insertPoints(Database& db, int64_t resultId, const std::vector<Point>& points) {
    std::vector<Value> values;
    for (const Point& p : points) {
        values.insert(values.end(),
                      {resultId, p.index, p.fraction, p.down ? "down" : "up", p.nominalSource,
                       p.source, p.sourceLimit, p.expected, p.reading, p.readingLimit,
                       p.recordedError, p.error, p.verdict});
    }
    insertRows(db,
               "INSERT INTO points (result_id, point, fraction, direction, nominal_source, source, "
               "source_limit, expected, reading, reading_limit, recorded_error, error, verdict)",
               13, values);
}

void linkRecords(Database& db, int64_t resultId, const std::vector<StoredRecord>& records) {
    std::vector<Value> values;
    for (const StoredRecord& r : records)
        values.insert(values.end(), {resultId, r.role, r.memory, r.index, recordHash(r)});
    insertRows(db,
               "INSERT INTO result_records (result_id, role, memory, memory_index, record_hash)", 5,
               values);
}

// The result's row, or nothing when the archive holds it already.
std::optional<int64_t> insertResult(Database& db, int64_t uploadId, const std::string& serial,
                                    const Result& r) {
    const std::vector<Row> rows = db.query(
        "INSERT INTO results (upload_id, calibrator_serial, taken, result_hash, memory_index, "
        "tag, text1, text2, task, strategy, as_left, verdict, tolerance, largest_error, "
        "input_unit, output_unit, setup_input, setup_output, setup_rest, result_code, problem, "
        "decoded) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, "
        "$17, $18, $19, $20, $21, $22) "
        "ON CONFLICT (calibrator_serial, taken, result_hash) DO NOTHING RETURNING id",
        {uploadId,     serial,
         r.taken,      resultHash(r),
         r.index,      r.tag,
         r.text1,      r.text2,
         r.task,       r.strategy,
         r.asLeft,     r.verdict,
         r.tolerance,  largestError(r.points),
         r.inputUnit,  r.outputUnit,
         r.setupInput, r.setupOutput,
         r.setupRest,  static_cast<int64_t>(r.resultCode),
         r.problem,    r.decoded});
    if (rows.empty()) return std::nullopt;
    return rows[0].integer(0);
}

int64_t instrumentId(Database& db, const std::string& tag) {
    std::vector<Row> rows = db.query(
        "INSERT INTO instruments (tag) VALUES ($1) ON CONFLICT (tag) DO NOTHING RETURNING id",
        {tag});
    if (rows.empty()) rows = db.query("SELECT id FROM instruments WHERE tag = $1", {tag});
    return rows.at(0).integer(0);
}

// One event for each instrument among the results added: its verdicts and largest errors as
// found and as left, dated by its last result.
size_t addEvents(Database& db, int64_t uploadId, const std::vector<const Result*>& added) {
    std::map<std::string, std::vector<const Result*>> byTag;
    for (const Result* r : added) {
        if (!r->text1.empty()) byTag[r->text1].push_back(r);
    }
    for (const auto& [tag, results] : byTag) {
        std::string date, found, left;
        double foundError = kNone, leftError = kNone;
        for (const Result* r : results) {
            date = std::max(date, r->taken);
            (r->asLeft ? left : found) = combined(r->asLeft ? left : found, r->verdict);
            double& error = r->asLeft ? leftError : foundError;
            error = larger(error, largestError(r->points));
        }
        const int64_t day = dayOfStamp(date).value_or(0);
        const Value none;
        const int64_t event =
            db.query(
                  "INSERT INTO events (instrument_id, upload_id, date, day, as_found, as_left, "
                  "as_found_error, as_left_error) VALUES ($1, $2, $3, $4, $5, $6, $7, $8) "
                  "RETURNING id",
                  {instrumentId(db, tag), uploadId, date, day, found.empty() ? none : found,
                   left.empty() ? none : left, foundError, leftError})
                .at(0)
                .integer(0);
        db.query("UPDATE results SET event_id = $1 WHERE upload_id = $2 AND text1 = $3",
                 {event, uploadId, tag});
    }
    return byTag.size();
}

AddOutcome addOnce(Database& db, const Upload& upload,
                   const std::function<void(size_t, size_t)>& progress) {
    AddOutcome outcome;
    Transaction transaction(db);
    insertRecords(db, upload);
    const int64_t uploadId =
        db.query(
              "INSERT INTO uploads (calibrator_model, calibrator_firmware, calibrator_serial, "
              "uploaded, host, user_name, technician, source) VALUES ($1, $2, $3, $4, $5, $6, "
              "$7, $8) RETURNING id",
              {upload.calibrator.model, upload.calibrator.firmware, upload.calibrator.serialNumber,
               upload.uploaded, upload.host, upload.user, upload.technician, upload.source})
            .at(0)
            .integer(0);
    std::vector<const Result*> added;
    for (const Result& r : upload.results) {
        const std::optional<int64_t> id =
            insertResult(db, uploadId, upload.calibrator.serialNumber, r);
        if (id) {
            insertPoints(db, *id, r.points);
            linkRecords(db, *id, r.records);
            added.push_back(&r);
        } else {
            ++outcome.held;
        }
        if (progress) progress(added.size() + outcome.held, upload.results.size());
    }
    if (added.empty()) return outcome;  // rolled back: not even the upload is kept
    outcome.events = addEvents(db, uploadId, added);
    transaction.commit();
    outcome.uploadId = uploadId;
    outcome.added = added.size();
    return outcome;
}

}  // namespace

std::unique_ptr<Archive> Archive::open(const std::string& location) {
    if (location.empty()) throw ArchiveError("no archive named");
    auto archive = std::make_unique<Archive>(isPostgresLocation(location) ? openPostgres(location)
                                                                          : openSqlite(location));
    migrate(*archive->db_);
    return archive;
}

Archive::Archive(std::unique_ptr<Database> db) : db_(std::move(db)) {}
Archive::~Archive() = default;

int Archive::knownVersion() {
    return static_cast<int>(migrations().size());
}

int Archive::schemaVersion() {
    return kvtarchive::schemaVersion(*db_);
}

std::string Archive::engine() const {
    return db_->engine();
}

AddOutcome Archive::add(const Upload& upload, const std::function<void(size_t, size_t)>& progress) {
    for (int attempt = 1;; ++attempt) {
        try {
            return addOnce(*db_, upload, progress);
        } catch (const RetryError&) {
            if (attempt == kAddAttempts) throw;
        }
    }
}

std::vector<bool> Archive::holds(const std::string& serialNumber,
                                 const std::vector<Result>& results) {
    std::vector<bool> held;
    for (const Result& r : results) {
        held.push_back(!db_->query("SELECT 1 FROM results WHERE calibrator_serial = $1 AND "
                                   "taken = $2 AND result_hash = $3",
                                   {serialNumber, r.taken, resultHash(r)})
                            .empty());
    }
    return held;
}

bool Archive::setInterval(const std::string& tag, int days) {
    return !db_->query("UPDATE instruments SET interval_days = $1 WHERE tag = $2 RETURNING id",
                       {days, tag})
                .empty();
}

}  // namespace kvtarchive
