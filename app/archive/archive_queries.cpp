// Reading the archive: instruments and due dates, an instrument's history, the results that
// do not decode, an event's records. Each is a fixed number of queries, whatever the size of
// the archive or of the history; every row is read by the names of its columns.
#include <algorithm>
#include <map>

#include <algorithm>

#include "archive/archive.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"
#include "common/json_text.h"

namespace kvtarchive {
namespace {

using kvtapp::Verdict;

// Every instrument's last event, its count of events and its interval, by tag. The due day is
// reckoned here from values checked as read, never in a query.
const char* const kInstrumentQuery =
    "SELECT i.tag, i.interval_days, e.id AS event_id, e.date, e.day, e.as_found, e.as_left, "
    "u.calibrator_serial, (SELECT COUNT(*) FROM events c WHERE c.instrument_id = i.id) AS events "
    "FROM instruments i "
    "JOIN events e ON e.id = (SELECT l.id FROM events l WHERE l.instrument_id = i.id "
    "ORDER BY l.day DESC, l.id DESC LIMIT 1) "
    "JOIN uploads u ON u.id = e.upload_id ORDER BY i.tag";

std::vector<Instrument> instrumentsOf(const std::vector<Row>& rows, int64_t today,
                                      int defaultIntervalDays) {
    std::vector<Instrument> list;
    for (const Row& r : rows) {
        Instrument i;
        i.tag = r.text("tag");
        i.intervalSet = !r.isNull("interval_days");
        i.intervalDays = i.intervalSet ? static_cast<int>(r.integer(fields::kIntervalDays))
                                       : defaultIntervalDays;
        i.lastEvent = r.integer(fields::kEventId);
        i.lastDate = r.text("date");
        i.lastVerdict = kvtapp::verdictNamed(r.text(r.isNull("as_left") ? "as_found" : "as_left"));
        i.calibratorSerial = r.text("calibrator_serial");
        i.events = r.integer(fields::kEventCount);
        const int64_t dueDay = r.integer(fields::kEventDay) + i.intervalDays;
        i.due = kvtapp::dateOfDay(dueDay);
        i.daysLeft = dueDay - today;
        list.push_back(std::move(i));
    }
    return list;
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
    "r.problem, r.decoded";

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
    return x;
}

std::optional<Verdict> sideOf(const Row& r, const char* column) {
    if (r.isNull(column)) return std::nullopt;
    return kvtapp::verdictNamed(r.text(column));
}

// The events that the condition on instruments i and events e picks, with their results: one
// query, whatever the number of events.
std::vector<Event> eventsWhere(Database& db, const std::string& condition, const Value& key) {
    const std::vector<Row> rows = db.query(
        std::string("SELECT e.id AS event_id, i.tag AS instrument, e.date, e.as_found, e.as_left, "
                    "e.as_found_error, e.as_left_error, e.ambient_temperature, e.humidity, "
                    "e.remarks, c.number AS certificate, ") +
            kUploadColumns + ", " + kResultColumns +
            " FROM instruments i JOIN events e ON e.instrument_id = i.id "
            "JOIN results r ON r.event_id = e.id JOIN uploads u ON u.id = e.upload_id "
            "LEFT JOIN certificates c ON c.event_id = e.id WHERE " +
            condition + " ORDER BY e.day, e.id, r.taken, r.id",
        {key});
    std::vector<Event> events;
    for (const Row& r : rows) {
        if (events.empty() || events.back().id != r.integer(fields::kEventId)) {
            Event e;
            e.id = r.integer(fields::kEventId);
            e.instrument = r.text("instrument");
            e.date = r.text("date");
            e.asFound = sideOf(r, "as_found");
            e.asLeft = sideOf(r, "as_left");
            e.asFoundError = r.real(fields::kAsFoundError);
            e.asLeftError = r.real(fields::kAsLeftError);
            e.conditions = {r.real(fields::kAmbientTemperature), r.real(fields::kHumidity),
                            r.text("remarks")};
            e.certificate = r.integer(fields::kEventCertificate);
            e.upload = uploadOf(r);
            events.push_back(std::move(e));
        }
        events.back().results.push_back(resultOf(r));
    }
    return events;
}

}  // namespace

std::vector<Instrument> Archive::instruments(int64_t today, int defaultIntervalDays) {
    return instrumentsOf(db_->query(kInstrumentQuery, {}), today, defaultIntervalDays);
}

std::vector<Instrument> Archive::due(int64_t today, int64_t byDay, int defaultIntervalDays) {
    std::vector<Instrument> list = instruments(today, defaultIntervalDays);
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Instrument& i) { return today + i.daysLeft > byDay; }),
               list.end());
    std::stable_sort(list.begin(), list.end(), [](const Instrument& a, const Instrument& b) {
        return a.daysLeft < b.daysLeft;
    });
    return list;
}

std::vector<Event> Archive::history(const std::string& tag) {
    return eventsWhere(*db_, "i.tag = $1", tag);
}

std::optional<Event> Archive::event(int64_t id) {
    std::vector<Event> events = eventsWhere(*db_, "e.id = $1", id);
    if (events.empty()) return std::nullopt;
    return std::move(events[0]);
}

int64_t Archive::lastEvent(const std::string& tag) {
    const std::vector<Row> rows = db_->query(
        "SELECT e.id AS event_id FROM instruments i JOIN events e ON e.instrument_id = i.id "
        "WHERE i.tag = $1 ORDER BY e.day DESC, e.id DESC LIMIT 1",
        {tag});
    return rows.empty() ? 0 : rows[0].integer(fields::kEventId);
}

std::vector<int64_t> Archive::eventsSince(int64_t day) {
    std::vector<int64_t> ids;
    for (const Row& r :
         db_->query("SELECT id AS event_id FROM events WHERE day >= $1 ORDER BY day, id", {day}))
        ids.push_back(r.integer(fields::kEventId));
    return ids;
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

std::string Archive::revision() {
    const std::vector<Row> rows = db_->query(
        "SELECT (SELECT COALESCE(MAX(id), 0) FROM uploads) AS uploads, "
        "(SELECT COALESCE(MAX(number), 0) FROM certificates) AS certificates, "
        "(SELECT COUNT(interval_days) FROM instruments) AS intervals, "
        "(SELECT COALESCE(SUM(interval_days * id), 0) FROM instruments) AS weighted",
        {});
    const Row& r = rows.at(0);
    return r.text("uploads") + "." + r.text("certificates") + "." + r.text("intervals") + "." +
           r.text("weighted");
}

std::optional<EventRecords> Archive::eventRecords(int64_t eventId) {
    const std::vector<Row> upload =
        db_->query(std::string("SELECT ") + kUploadColumns +
                       " FROM events e JOIN uploads u ON u.id = e.upload_id WHERE e.id = $1",
                   {eventId});
    if (upload.empty()) return std::nullopt;
    EventRecords out;
    out.upload = uploadOf(upload[0]);
    // Each record once, with the first result that names it at its place.
    for (const Row& r :
         db_->query("SELECT MIN(x.result_id) AS result_id, x.role, x.memory, x.memory_index, "
                    "x.record_hash, c.kind, c.version, c.stamp, c.data "
                    "FROM results r JOIN result_records x ON x.result_id = r.id "
                    "JOIN records c ON c.hash = x.record_hash WHERE r.event_id = $1 "
                    "GROUP BY x.role, x.memory, x.memory_index, x.record_hash, c.kind, c.version, "
                    "c.stamp, c.data ORDER BY x.memory, x.memory_index, x.role",
                    {eventId})) {
        out.records.push_back({r.text("role"), r.text("memory"),
                               static_cast<int32_t>(r.integer(fields::kMemoryIndex)),
                               static_cast<uint16_t>(r.integer(fields::kKind)),
                               static_cast<uint16_t>(r.integer(fields::kVersion)), r.text("stamp"),
                               r.blob(fields::kData)});
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
                        ", r.memory_index FROM results r WHERE r.upload_id = $1 ORDER BY r.id",
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
