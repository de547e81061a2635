// Opening an archive and adding uploads to it. Each row is written by the names of its
// columns, from the records model as it is given.
#include "archive/archive.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/audit.h"
#include "archive/calibrations.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "archive/schema.h"
#include "base/time.h"

namespace kvtarchive {
namespace {

// Parameters a statement of many rows takes at most (older SQLite builds allow 999).
constexpr size_t kParamsPerStatement = 900;
// Tries of an add that the server broke off to resolve a deadlock with another bench.
constexpr int kAddAttempts = 3;

// The bytes of a record a result is keyed by: its kind, version and data.
std::vector<uint8_t> headerAndData(const RestingRecord& r) {
    std::vector<uint8_t> bytes;
    bytes.reserve(4 + r.data.size());
    for (uint16_t word : {r.kind, r.version}) {
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    bytes.insert(bytes.end(), r.data.begin(), r.data.end());
    return bytes;
}

std::string recordHash(const RestingRecord& r) {
    return kvtarchive::recordHash(r.kind, r.version, r.stamp, r.data);
}

const RestingRecord& resultRecord(const Result& r) {
    for (const RestingRecord& record : r.records) {
        if (record.role == "result") return record;
    }
    throw ArchiveError("the result taken " + r.taken + " comes without its record");
}

// The key of a result beside the calibrator's serial number and the stamp.
std::string resultHash(const Result& r) {
    return sha256Hex(headerAndData(resultRecord(r)));
}

// Inserts rows of the same columns into the table, as many to a statement as the parameter
// limit allows.
void insertRows(Database& db, const std::string& table, const std::vector<Cells>& rows,
                const std::string& tail = "") {
    if (rows.empty()) return;
    std::string head = "INSERT INTO " + table + " (";
    for (const auto& [name, value] : rows[0])
        head += std::string(head.back() == '(' ? "" : ", ") + name;
    head += ") VALUES ";
    const size_t width = rows[0].size();
    const size_t perStatement = std::max<size_t>(1, kParamsPerStatement / width);
    for (size_t start = 0; start < rows.size(); start += perStatement) {
        const size_t end = std::min(rows.size(), start + perStatement);
        std::string sql = head;
        std::vector<Value> values;
        for (size_t i = start; i < end; ++i) {
            sql += i == start ? "(" : ", (";
            for (const auto& [name, value] : rows[i]) {
                values.push_back(value);
                sql += (sql.back() == '(' ? "$" : ", $") + std::to_string(values.size());
            }
            sql += ")";
        }
        db.query(sql + tail, values);
    }
}

// Every record of the upload once, in the order of their hashes, so that benches adding at
// once take the rows' locks in one order.
void insertRecords(Database& db, const Upload& upload) {
    std::map<std::string, const RestingRecord*> byHash;
    for (const Result& r : upload.results) {
        for (const RestingRecord& record : r.records)
            byHash.emplace(recordHash(record), &record);
    }
    std::vector<Cells> rows;
    for (const auto& [hash, r] : byHash) {
        rows.push_back({{"hash", hash},
                        {"kind", static_cast<int64_t>(r->kind)},
                        {"version", static_cast<int64_t>(r->version)},
                        {"stamp", r->stamp},
                        {"data", Value::blob(r->data)}});
    }
    insertRows(db, "records", rows, " ON CONFLICT (hash) DO NOTHING");
}

// The columns of a test point's row.
Cells pointCells(int64_t resultId, const kvtapp::Point& p) {
    return {{"result_id", resultId},
            {"point", p.index},
            {"fraction", double(p.fraction)},
            {"direction", p.down ? "down" : "up"},
            {"nominal_source", p.nominalSource},
            {"source", double(p.source)},
            {"source_limit", double(p.sourceLimit)},
            {"expected", p.expected},
            {"reading", double(p.reading)},
            {"reading_limit", double(p.readingLimit)},
            {"recorded_error", double(p.recordedError)},
            {"error", p.error},
            {"verdict", kvtapp::verdictName(p.verdict)}};
}

void insertPoints(Database& db, int64_t resultId, const std::vector<kvtapp::Point>& points) {
    std::vector<Cells> rows;
    for (const kvtapp::Point& p : points)
        rows.push_back(pointCells(resultId, p));
    insertRows(db, "points", rows);
}

void linkRecords(Database& db, int64_t resultId, const std::vector<RestingRecord>& records) {
    std::vector<Cells> rows;
    for (const RestingRecord& r : records) {
        rows.push_back({{"result_id", resultId},
                        {"role", r.role},
                        {"memory", r.memory},
                        {"memory_index", r.index},
                        {"record_hash", recordHash(r)}});
    }
    insertRows(db, "result_records", rows);
}

std::vector<RecordLink> linksOf(const std::vector<RestingRecord>& records) {
    std::vector<RecordLink> links;
    for (const RestingRecord& r : records)
        links.push_back({r.role, r.memory, r.index, recordHash(r)});
    return links;
}

// The result's row, or nothing when the archive holds it already. Beside what identifies it,
// the columns hold what other software queries: the setup in words, the verdict, the largest
// error, and the whole result as the JSON view shows it.
std::optional<int64_t> insertResult(Database& db, int64_t uploadId, const std::string& serial,
                                    const Result& r) {
    const bool setup = r.problem.empty() || !r.points.empty();  // else no setup to speak of
    std::string rest = setup ? describeRest(r.setup) : "";
    const std::string temperatures = setup ? describeTemperatures(r.setup) : "";
    if (!temperatures.empty()) rest += "; " + temperatures;
    const std::vector<Row> rows = db.insert(
        "results",
        {{"upload_id", uploadId},
         {"calibrator_serial", serial},
         {"taken", r.taken},
         {"result_hash", resultHash(r)},
         {"memory_index", r.index},
         {"tag", r.tag},
         {"text1", r.text1},
         {"text2", r.text2},
         {"task", r.task},
         {"strategy", r.strategy},
         {"as_left", r.flagged},
         {"verdict", kvtapp::verdictName(r.verdict)},
         {"tolerance", setup ? kvtapp::toleranceOf(r) : kvtapp::kNone},
         {"largest_error", kvtapp::largestError(r)},
         {"input_unit", setup ? r.setup.input.unit : ""},
         {"output_unit", setup ? r.setup.output.unit : ""},
         {"setup_input", setup ? describeInput(r.setup) : ""},
         {"setup_output", setup ? describeOutput(r.setup) : ""},
         {"setup_rest", rest},
         {"result_code", static_cast<int64_t>(r.resultCode)},
         {"problem", r.problem},
         {"stamp_problem", r.stampProblem},
         {"decoded",
          toJson(r).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)},
         {"records_sha256", recordsSha256(linksOf(r.records))}},
        " ON CONFLICT (calibrator_serial, taken, result_hash) DO NOTHING RETURNING id");
    if (rows.empty()) return std::nullopt;
    return rows[0].integer(fields::kNewResult);
}

// The calibrator's upload before this one, by the host's clock; "" for none.
std::string previousUpload(Database& db, const Upload& upload) {
    if (upload.calibrator.serialNumber.empty()) return "";
    const std::vector<Row> rows = db.query(
        "SELECT MAX(uploaded) AS uploaded FROM uploads WHERE calibrator_serial = $1 AND "
        "uploaded < $2",
        {upload.calibrator.serialNumber, upload.uploaded});
    return rows.empty() || rows[0].isNull("uploaded") ? "" : rows[0].text("uploaded");
}

AddOutcome addOnce(Database& db, const Upload& upload, const VisitRules& rules,
                   const std::function<void(size_t, size_t)>& progress,
                   const std::function<void(const Touched&, int64_t)>& audited) {
    AddOutcome outcome;
    Transaction transaction(db);
    insertRecords(db, upload);
    const std::string previous = previousUpload(db, upload);
    const int64_t uploadId = db.insert("uploads",
                                       {{"calibrator_model", upload.calibrator.model},
                                        {"calibrator_firmware", upload.calibrator.firmware},
                                        {"calibrator_serial", upload.calibrator.serialNumber},
                                        {"uploaded", upload.uploaded},
                                        {"host", upload.host},
                                        {"user_name", upload.user},
                                        {"technician", upload.technician},
                                        {"source", upload.source}},
                                       " RETURNING id")
                                 .at(0)
                                 .integer(fields::kNewUpload);
    std::vector<PlacedResult> added;
    for (const Result& given : upload.results) {
        Result r = given;
        r.stampProblem = kvtapp::stampProblem(r.taken, upload.uploaded, previous, rules);
        const std::optional<int64_t> id =
            insertResult(db, uploadId, upload.calibrator.serialNumber, r);
        if (id) {
            insertPoints(db, *id, r.points);
            linkRecords(db, *id, r.records);
            added.push_back({*id, kvtapp::instrumentOf(r), kvtapp::untagged(r),
                             kvtapp::placementOf(r, uploadId)});
            outcome.suspect += !r.stampProblem.empty();
        } else {
            ++outcome.held;
        }
        if (progress) progress(added.size() + outcome.held, upload.results.size());
    }
    if (added.empty()) return outcome;  // rolled back: not even the upload is kept
    outcome.added = added.size();
    // Placing results may move earlier results of the instruments and drop a calibration left
    // empty: the change touches those, and what it made, not the rest of each history.
    Touched touched{{"uploads", {std::to_string(uploadId)}}};
    for (const PlacedResult& p : added)
        touched["results"].insert(std::to_string(p.id));
    const Placed placed = placeResults(db, std::move(added), rules);
    const auto touch = [&](const char* table, const std::set<int64_t>& ids) {
        for (int64_t id : ids)
            touched[table].insert(std::to_string(id));
    };
    touch("instruments", placed.instruments);
    touch("calibrations", placed.calibrations);
    touch("calibrations", placed.removed);
    touch("results", placed.moved);
    outcome.calibrations = placed.calibrations.size();
    audited(touched, uploadId);
    transaction.commit();
    outcome.uploadId = uploadId;
    return outcome;
}

}  // namespace

std::unique_ptr<Archive> Archive::open(const std::string& location, Access access,
                                       const Actor& actor) {
    if (location.empty()) throw ArchiveError("no archive named");
    const auto connect = [&](Access a) {
        return isPostgresLocation(location) ? openPostgres(location, a) : openSqlite(location, a);
    };
    auto archive = std::make_unique<Archive>(connect(access));
    const int version = kvtarchive::schemaVersion(*archive->db_);
    if (version == 0 && access != Access::Store) {
        throw NoArchive(archive->db_->where() + " holds no archive yet");
    }
    // Reading an older archive brings it up to date first, which writes.
    if (version < knownVersion() && access == Access::Read) {
        try {
            archive->db_ = connect(Access::Change);
        } catch (const ArchiveError& e) {
            throw ArchiveError(std::string(e.what()) + " (it has schema version " +
                               std::to_string(version) + ", which is brought up to date to " +
                               std::to_string(knownVersion()) + " before it is read)");
        }
    }
    archive->created_ = version == 0;
    archive->actor_ = actor;
    migrate(*archive->db_, actor);
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

std::string Archive::where() const {
    return db_->where();
}

AddOutcome Archive::add(const Upload& upload, const VisitRules& rules,
                        const std::function<void(size_t, size_t)>& progress) {
    for (int attempt = 1;; ++attempt) {
        try {
            return addOnce(*db_, upload, rules, progress, [&](const Touched& touched, int64_t id) {
                addFacts({{"upload", id}, {"source", upload.source}});
                audited("upload stored", touched);
            });
        } catch (const RetryError&) {
            if (attempt == kAddAttempts) throw;
        }
    }
}

void Archive::addFacts(const nlohmann::ordered_json& facts) {
    if (!facts.is_object()) throw ArchiveError("the facts of an audit row are a JSON object");
    for (const auto& [name, value] : facts.items())
        facts_[name] = value;
}

void Archive::audited(const std::string& change, const Touched& touched,
                      const std::string& technician) {
    Actor actor = actor_;
    if (!technician.empty()) actor.technician = technician;
    appendAudit(*db_, actor, change, touched, facts_);
    facts_ = nlohmann::ordered_json::object();
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

}  // namespace kvtarchive
