// Reading the archive: instruments and due dates, an instrument's calibrations, the results
// that do not decode, a calibration's records. Each is a fixed number of queries, whatever the size
// of the archive or of the history; every row is read by the names of its columns.
#include <algorithm>

#include "archive/archive.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"
#include "common/json_text.h"

namespace kvtarchive {
namespace {

using kvtapp::Verdict;

// Every instrument with its last calibration that has a day, its count of calibrations and of
// those without a day, its interval and what identifies it.
const char* const kInstrumentQuery =
    "SELECT i.tag, i.untagged, i.interval_days, l.id AS calibration_id, l.date, l.day, "
    "l.as_found, l.as_left, "
    "(SELECT COUNT(*) FROM calibrations c WHERE c.instrument_id = i.id) AS calibrations, "
    "(SELECT COUNT(*) FROM calibrations c WHERE c.instrument_id = i.id AND c.day IS NULL) "
    "AS undated, "
    "(SELECT u.calibrator_serial FROM results r JOIN uploads u ON u.id = r.upload_id "
    "WHERE r.calibration_id = l.id ORDER BY r.taken DESC, r.id DESC LIMIT 1) "
    "AS calibrator_serial, "
    "d.make, d.model, d.serial_number, d.measuring_range, d.customer, d.set_at, d.source "
    "FROM instruments i "
    "LEFT JOIN calibrations l ON l.id = (SELECT c.id FROM calibrations c WHERE c.instrument_id "
    "= i.id AND c.day IS NOT NULL ORDER BY c.day DESC, c.id DESC LIMIT 1) "
    "LEFT JOIN instrument_identities d ON d.id = (SELECT MAX(x.id) FROM instrument_identities x "
    "WHERE x.instrument_id = i.id) "
    "ORDER BY i.tag";

InstrumentIdentity identityOf(const Row& r) {
    if (r.isNull("set_at")) return {};
    return {
        r.text("make"),     r.text("model"),  r.text("serial_number"), r.text("measuring_range"),
        r.text("customer"), r.text("set_at"), r.text("source")};
}

Instrument instrumentOf(const Row& r, int64_t today, int defaultIntervalDays) {
    Instrument i;
    i.tag = r.text("tag");
    i.untagged = r.integer(fields::kUntagged) != 0;
    i.identity = identityOf(r);
    i.intervalSet = !r.isNull("interval_days");
    i.intervalDays =
        i.intervalSet ? static_cast<int>(r.integer(fields::kIntervalDays)) : defaultIntervalDays;
    i.calibrations = r.integer(fields::kCalibrationCount);
    i.undated = r.integer(fields::kUndatedCount);
    if (r.isNull("calibration_id")) return i;
    i.lastCalibration = r.integer(fields::kCalibrationId);
    i.lastDate = r.text("date");
    i.lastDay = kvtapp::dateOfDay(r.integer(fields::kCalibrationDay));
    i.lastVerdict = kvtapp::verdictNamed(r.text(r.isNull("as_left") ? "as_found" : "as_left"));
    if (!r.isNull("as_found")) i.lastAsFound = kvtapp::verdictNamed(r.text("as_found"));
    i.calibratorSerial = r.text("calibrator_serial");
    const int64_t dueDay = r.integer(fields::kCalibrationDay) + i.intervalDays;
    i.due = kvtapp::dateOfDay(dueDay);
    i.daysLeft = dueDay - today;
    return i;
}

const char* const kUploadColumns =
    "u.id AS upload_id, u.calibrator_model, u.calibrator_firmware, u.calibrator_serial, "
    "u.uploaded, u.host, u.user_name, u.technician, u.source";

Upload uploadOf(const Row& r) {
    Upload u;
    u.id = r.integer(fields::kUploadId);
    u.calibrator.model = r.text("calibrator_model");
    u.calibrator.firmware = r.text("calibrator_firmware");
    u.calibrator.serialNumber = r.text("calibrator_serial");
    u.uploaded = r.text("uploaded");
    u.host = r.text("host");
    u.user = r.text("user_name");
    u.technician = r.text("technician");
    u.source = r.text("source");
    return u;
}

const char* const kResultColumns =
    "r.id AS result_id, r.taken, r.tag, r.text1, r.text2, r.as_left AS flagged, r.result_code, "
    "r.problem, r.stamp_problem, r.decoded";

// A result as the archive keeps it: the JSON view of what was decoded, with the archive's own
// columns naming it even when that text does not.
Result resultOf(const Row& r) {
    std::string problem, where;
    const std::optional<nlohmann::ordered_json> decoded =
        kvttools::parseJson(r.text("decoded"), &problem, &where);
    if (!decoded) {
        r.refuse(fields::kDecoded,
                 "text that is not JSON (" + (where.empty() ? "" : where + ": ") + problem + ")",
                 "the JSON of a decoded result");
    }
    Result x = kvtapp::resultFromJson(*decoded);
    x.id = r.integer(fields::kResultId);
    x.taken = r.text("taken");
    x.tag = r.text("tag");
    x.text1 = r.text("text1");
    x.text2 = r.text("text2");
    x.flagged = r.integer(fields::kFlagged) != 0;
    x.resultCode = static_cast<uint32_t>(r.integer(fields::kResultCode));
    x.problem = r.text("problem");
    x.stampProblem = r.text("stamp_problem");
    x.upload = r.integer(fields::kUploadId);
    return x;
}

std::optional<Verdict> sideOf(const Row& r, const char* column) {
    if (r.isNull(column)) return std::nullopt;
    return kvtapp::verdictNamed(r.text(column));
}

// The calibrations that the condition on instruments i and calibrations c picks, with their
// results and uploads: one query, whatever the number of calibrations.
std::vector<Calibration> calibrationsWhere(Database& db, const std::string& condition,
                                           const std::vector<Value>& params) {
    const std::vector<Row> rows = db.query(
        std::string("SELECT c.id AS calibration_id, i.tag AS instrument, i.untagged, c.date, "
                    "c.clock_suspect, c.date_impossible, c.confirmed_date, c.confirmed_by, "
                    "c.confirmed_at, c.as_found, c.as_left, c.as_found_error, c.as_left_error, "
                    "(SELECT MAX(f.number) FROM certificates f WHERE f.calibration_id = c.id "
                    "AND f.replaced_by IS NULL) AS certificate, ") +
            kUploadColumns + ", " + kResultColumns +
            " FROM instruments i JOIN calibrations c ON c.instrument_id = i.id "
            "JOIN results r ON r.calibration_id = c.id JOIN uploads u ON u.id = r.upload_id "
            "WHERE " +
            condition + " ORDER BY COALESCE(c.day, c.stamp_day), c.date, c.id, r.taken, r.id",
        params);
    std::vector<Calibration> list;
    for (const Row& r : rows) {
        if (list.empty() || list.back().id != r.integer(fields::kCalibrationId)) {
            Calibration c;
            c.id = r.integer(fields::kCalibrationId);
            c.instrument = r.text("instrument");
            c.untagged = r.integer(fields::kUntagged) != 0;
            c.date = r.text("date");
            c.clockSuspect = r.integer(fields::kClockSuspect) != 0;
            c.dateImpossible = r.integer(fields::kDateImpossible) != 0;
            if (!r.isNull("confirmed_date")) {
                c.confirmed = kvtapp::DateConfirmation{
                    r.text("confirmed_date"), r.text("confirmed_by"), r.text("confirmed_at")};
            }
            c.asFound = sideOf(r, "as_found");
            c.asLeft = sideOf(r, "as_left");
            c.asFoundError = r.real(fields::kCalibrationAsFoundError);
            c.asLeftError = r.real(fields::kCalibrationAsLeftError);
            c.certificate = r.integer(fields::kCalibrationCertificate);
            list.push_back(std::move(c));
        }
        Calibration& c = list.back();
        const int64_t upload = r.integer(fields::kUploadId);
        const bool known = std::any_of(c.uploads.begin(), c.uploads.end(),
                                       [&](const Upload& u) { return u.id == upload; });
        if (!known) c.uploads.push_back(uploadOf(r));
        c.results.push_back(resultOf(r));
    }
    for (Calibration& c : list) {
        std::sort(c.uploads.begin(), c.uploads.end(),
                  [](const Upload& a, const Upload& b) { return a.uploaded < b.uploaded; });
        kvtapp::labelResults(c);
    }
    return list;
}

}  // namespace

std::vector<Instrument> Archive::instruments(int64_t today, int defaultIntervalDays) {
    std::vector<Instrument> list;
    for (const Row& r : db_->query(kInstrumentQuery, {}))
        list.push_back(instrumentOf(r, today, defaultIntervalDays));
    return list;
}

std::vector<Calibration> Archive::history(const std::string& tag) {
    return calibrationsWhere(*db_, "i.tag = $1", {tag});
}

std::optional<Calibration> Archive::calibration(int64_t id) {
    std::vector<Calibration> found = calibrationsWhere(*db_, "c.id = $1", {id});
    if (found.empty()) return std::nullopt;
    return std::move(found[0]);
}

int64_t Archive::lastCalibration(const std::string& tag) {
    const std::vector<Row> rows = db_->query(
        "SELECT c.id AS calibration_id FROM instruments i JOIN calibrations c ON "
        "c.instrument_id = i.id WHERE i.tag = $1 "
        "ORDER BY COALESCE(c.day, c.stamp_day) DESC, c.date DESC, c.id DESC LIMIT 1",
        {tag});
    return rows.empty() ? 0 : rows[0].integer(fields::kCalibrationId);
}

std::vector<Calibration> Archive::undated() {
    return calibrationsWhere(*db_, "c.day IS NULL", {});
}

std::vector<int64_t> Archive::calibrationsSince(int64_t day) {
    std::vector<int64_t> ids;
    for (const Row& r :
         db_->query("SELECT id FROM calibrations WHERE day >= $1 ORDER BY day, id", {day}))
        ids.push_back(r.integer(fields::kNewCalibration));
    return ids;
}

bool Archive::confirmDate(int64_t calibration, const kvtapp::DateConfirmation& confirmation) {
    const std::optional<int64_t> day = kvtapp::dayOfStamp(confirmation.date);
    if (!day) throw ArchiveError("\"" + confirmation.date + "\" is not a day of the calendar");
    Transaction transaction(*db_);
    if (db_->query("UPDATE calibrations SET confirmed_date = $2, confirmed_by = $3, "
                   "confirmed_at = $4, day = $5 WHERE id = $1 RETURNING id",
                   {calibration, confirmation.date, confirmation.by, confirmation.at, *day})
            .empty()) {
        return false;
    }
    addFacts({{"calibration", calibration}, {"date", confirmation.date}});
    audited("date confirmed", {{"calibrations", {std::to_string(calibration)}}});
    transaction.commit();
    return true;
}

bool Archive::setInterval(const std::string& tag, int days) {
    Transaction transaction(*db_);
    const std::vector<Row> rows = db_->query(
        "UPDATE instruments SET interval_days = $1 WHERE tag = $2 RETURNING id", {days, tag});
    if (rows.empty()) return false;
    addFacts({{"tag", tag}, {"interval_days", days}});
    audited("interval set", {{"instruments", {rows[0].text("id")}}});
    transaction.commit();
    return true;
}

std::vector<Undecodable> Archive::undecodable() {
    std::vector<Undecodable> list;
    for (const Row& r :
         db_->query("SELECT id AS result_id, calibrator_serial, taken, text1, result_code, "
                    "problem FROM results WHERE problem <> '' ORDER BY id",
                    {})) {
        list.push_back({r.integer(fields::kResultId), r.text("calibrator_serial"), r.text("taken"),
                        r.text("text1"), static_cast<uint32_t>(r.integer(fields::kResultCode)),
                        r.text("problem")});
    }
    return list;
}

// Every change appends one row to the audit trail in its own transaction, and a change that
// changes nothing appends none: the trail's head is the archive's revision, read from the end
// of its index whatever the size of the archive.
std::string Archive::revision() {
    const std::vector<Row> head =
        db_->query("SELECT id, sha256 FROM audit ORDER BY id DESC LIMIT 1", {});
    return head.empty() ? "0" : head[0].text("id") + ":" + head[0].text("sha256");
}

std::optional<std::vector<UploadRecords>> Archive::calibrationRecords(int64_t calibration) {
    const std::vector<Row> uploads = db_->query(
        std::string("SELECT DISTINCT ") + kUploadColumns +
            " FROM results r JOIN uploads u ON u.id = r.upload_id WHERE r.calibration_id = $1 "
            "ORDER BY u.uploaded, u.id",
        {calibration});
    if (uploads.empty()) return std::nullopt;
    std::vector<UploadRecords> out;
    for (const Row& u : uploads)
        out.push_back({uploadOf(u), {}});
    for (const Row& r : db_->query(
             "SELECT r.upload_id, MIN(x.result_id) AS result_id, x.role, x.memory, "
             "x.memory_index, x.record_hash, c.kind, c.version, c.stamp, c.data "
             "FROM results r JOIN result_records x ON x.result_id = r.id "
             "JOIN records c ON c.hash = x.record_hash WHERE r.calibration_id = $1 "
             "GROUP BY r.upload_id, x.role, x.memory, x.memory_index, x.record_hash, c.kind, "
             "c.version, c.stamp, c.data ORDER BY r.upload_id, x.memory, x.memory_index, x.role",
             {calibration})) {
        for (UploadRecords& u : out) {
            if (u.upload.id != r.integer(fields::kUploadId)) continue;
            u.records.push_back({r.text("role"), r.text("memory"),
                                 static_cast<int32_t>(r.integer(fields::kMemoryIndex)),
                                 static_cast<uint16_t>(r.integer(fields::kKind)),
                                 static_cast<uint16_t>(r.integer(fields::kVersion)),
                                 r.text("stamp"), r.blob(fields::kData)});
        }
    }
    return out;
}

std::vector<int64_t> Archive::uploadIds() {
    std::vector<int64_t> ids;
    for (const Row& r : db_->query("SELECT id FROM uploads ORDER BY id", {}))
        ids.push_back(r.integer(fields::kNewUpload));
    return ids;
}

std::optional<Upload> Archive::upload(int64_t id) {
    const std::vector<Row> head = db_->query(
        std::string("SELECT ") + kUploadColumns + " FROM uploads u WHERE u.id = $1", {id});
    if (head.empty()) return std::nullopt;
    Upload upload = uploadOf(head[0]);
    std::map<int64_t, size_t> at;  // a result's place in the upload, by its number
    for (const Row& r :
         db_->query(std::string("SELECT ") + kResultColumns +
                        ", r.memory_index, r.upload_id FROM results r WHERE r.upload_id = $1 "
                        "ORDER BY r.id",
                    {id})) {
        Result result = resultOf(r);
        result.index = static_cast<int32_t>(r.integer(fields::kResultIndex));
        at[result.id] = upload.results.size();
        upload.results.push_back(std::move(result));
    }
    for (const Row& r :
         db_->query("SELECT x.result_id, x.role, x.memory, x.memory_index, x.record_hash, c.kind, "
                    "c.version, c.stamp, c.data FROM results r JOIN result_records x ON "
                    "x.result_id = r.id "
                    "JOIN records c ON c.hash = x.record_hash WHERE r.upload_id = $1",
                    {id})) {
        upload.results[at.at(r.integer(fields::kResultId))].records.push_back(
            {r.text("role"), r.text("memory"),
             static_cast<int32_t>(r.integer(fields::kMemoryIndex)),
             static_cast<uint16_t>(r.integer(fields::kKind)),
             static_cast<uint16_t>(r.integer(fields::kVersion)), r.text("stamp"),
             r.blob(fields::kData)});
    }
    return upload;
}

std::map<std::string, std::string> Archive::resultFingerprints() {
    // Sorted here rather than by the database, whose collation of texts may be the locale's.
    std::map<std::string, std::vector<std::string>> records;
    for (const Row& r :
         db_->query("SELECT r.calibrator_serial, r.taken, r.result_hash, x.result_id, x.role, "
                    "x.memory, x.memory_index, x.record_hash FROM results r "
                    "JOIN result_records x ON x.result_id = r.id",
                    {})) {
        records[resultKey(r.text("calibrator_serial"), r.text("taken"), r.text("result_hash"))]
            .push_back(r.text("role") + "\n" + r.text("memory") + "\n" +
                       std::to_string(r.integer(fields::kMemoryIndex)) + "\n" +
                       r.text("record_hash"));
    }
    std::map<std::string, std::string> fingerprints;
    for (auto& [key, lines] : records) {
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        fingerprints[key] = sha256Hex(std::vector<uint8_t>(text.begin(), text.end()));
    }
    return fingerprints;
}

std::map<std::string, int> Archive::intervals() {
    std::map<std::string, int> set;
    for (const Row& r : db_->query(
             "SELECT tag, interval_days FROM instruments WHERE interval_days IS NOT NULL", {}))
        set[r.text("tag")] = static_cast<int>(r.integer(fields::kIntervalDays));
    return set;
}

std::string resultKey(const std::string& serialNumber, const std::string& taken,
                      const std::string& resultHash) {
    return serialNumber + "\n" + taken + "\n" + resultHash;
}

}  // namespace kvtarchive
