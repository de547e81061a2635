// Reading the archive: instruments and due dates, an instrument's history, the results that
// do not decode, an event's records. Each is a fixed number of queries, whatever the size of
// the archive or of the history.
#include <map>

#include "archive.h"
#include "database.h"

namespace kvtarchive {
namespace {

// An instrument's last event, its count of events and its interval.
const char* const kInstrumentQuery =
    "SELECT i.tag, i.interval_days, e.id, e.date, e.day, e.as_found, e.as_left, "
    "u.calibrator_serial, (SELECT COUNT(*) FROM events c WHERE c.instrument_id = i.id), "
    "e.day + COALESCE(i.interval_days, $1) AS due_day "
    "FROM instruments i "
    "JOIN events e ON e.id = (SELECT l.id FROM events l WHERE l.instrument_id = i.id "
    "ORDER BY l.day DESC, l.id DESC LIMIT 1) "
    "JOIN uploads u ON u.id = e.upload_id ";

std::vector<Instrument> instrumentsOf(const std::vector<Row>& rows, int64_t today,
                                      int defaultIntervalDays) {
    std::vector<Instrument> list;
    for (const Row& r : rows) {
        Instrument i;
        i.tag = r.text(0);
        i.intervalSet = !r.isNull(1);
        i.intervalDays = i.intervalSet ? static_cast<int>(r.integer(1)) : defaultIntervalDays;
        i.lastEvent = r.integer(2);
        i.lastDate = r.text(3);
        i.lastVerdict = r.isNull(6) ? r.text(5) : r.text(6);
        i.calibratorSerial = r.text(7);
        i.events = r.integer(8);
        i.due = dateOfDay(r.integer(9));
        i.daysLeft = r.integer(9) - today;
        list.push_back(std::move(i));
    }
    return list;
}

const char* const kUploadColumns =
    "u.id, u.calibrator_model, u.calibrator_firmware, u.calibrator_serial, u.uploaded, u.host, "
    "u.user_name, u.technician, u.source";

// The upload from the nine columns of kUploadColumns, starting at the given one.
Upload uploadOf(const Row& r, size_t c) {
    Upload u;
    u.id = r.integer(c);
    u.calibrator = {r.text(c + 1), r.text(c + 2), r.text(c + 3)};
    u.uploaded = r.text(c + 4);
    u.host = r.text(c + 5);
    u.user = r.text(c + 6);
    u.technician = r.text(c + 7);
    u.source = r.text(c + 8);
    return u;
}

Result resultOf(const Row& r, size_t c) {
    Result x;
    x.id = r.integer(c);
    x.taken = r.text(c + 1);
    x.index = static_cast<int32_t>(r.integer(c + 2));
    x.tag = r.text(c + 3);
    x.text1 = r.text(c + 4);
    x.text2 = r.text(c + 5);
    x.task = r.text(c + 6);
    x.strategy = r.text(c + 7);
    x.asLeft = r.integer(c + 8) != 0;
    x.verdict = r.text(c + 9);
    x.tolerance = r.real(c + 10);
    x.largestError = r.real(c + 11);
    x.inputUnit = r.text(c + 12);
    x.outputUnit = r.text(c + 13);
    x.setupInput = r.text(c + 14);
    x.setupOutput = r.text(c + 15);
    x.setupRest = r.text(c + 16);
    x.resultCode = static_cast<uint32_t>(r.integer(c + 17));
    x.problem = r.text(c + 18);
    x.decoded = r.text(c + 19);
    return x;
}

const char* const kResultColumns =
    "r.id, r.taken, r.memory_index, r.tag, r.text1, r.text2, r.task, r.strategy, r.as_left, "
    "r.verdict, r.tolerance, r.largest_error, r.input_unit, r.output_unit, r.setup_input, "
    "r.setup_output, r.setup_rest, r.result_code, r.problem, r.decoded";

Point pointOf(const Row& r) {
    Point p;
    p.index = static_cast<int32_t>(r.integer(1));
    p.fraction = r.real(2);
    p.down = r.text(3) == "down";
    p.nominalSource = r.real(4);
    p.source = r.real(5);
    p.sourceLimit = r.real(6);
    p.expected = r.real(7);
    p.reading = r.real(8);
    p.readingLimit = r.real(9);
    p.recordedError = r.real(10);
    p.error = r.real(11);
    p.verdict = r.text(12);
    return p;
}

// The events that the condition on instruments i and events e picks, with their results and
// points: two queries, whatever the number of events.
std::vector<Event> eventsWhere(Database& db, const std::string& condition, const Value& key) {
    const std::string from =
        " FROM instruments i JOIN events e ON e.instrument_id = i.id "
        "JOIN results r ON r.event_id = e.id ";
    const std::vector<Row> rows = db.query(
        std::string("SELECT e.id, i.tag, e.date, e.as_found, e.as_left, e.as_found_error, "
                    "e.as_left_error, e.ambient_temperature, e.humidity, e.remarks, c.number, ") +
            kUploadColumns + ", " + kResultColumns + from +
            "JOIN uploads u ON u.id = e.upload_id "
            "LEFT JOIN certificates c ON c.event_id = e.id WHERE " +
            condition + " ORDER BY e.day, e.id, r.taken, r.id",
        {key});
    const std::vector<Row> points = db.query(
        "SELECT p.result_id, p.point, p.fraction, p.direction, p.nominal_source, p.source, "
        "p.source_limit, p.expected, p.reading, p.reading_limit, p.recorded_error, p.error, "
        "p.verdict" +
            from + "JOIN points p ON p.result_id = r.id WHERE " + condition +
            " ORDER BY p.result_id, p.point",
        {key});
    std::map<int64_t, std::vector<Point>> pointsOf;
    for (const Row& r : points)
        pointsOf[r.integer(0)].push_back(pointOf(r));
    std::vector<Event> events;
    for (const Row& r : rows) {
        if (events.empty() || events.back().id != r.integer(0)) {
            Event e;
            e.id = r.integer(0);
            e.instrument = r.text(1);
            e.date = r.text(2);
            e.asFound = r.text(3);
            e.asLeft = r.text(4);
            e.asFoundError = r.real(5);
            e.asLeftError = r.real(6);
            e.conditions = {r.real(7), r.real(8), r.text(9)};
            e.certificate = r.integer(10);
            e.upload = uploadOf(r, 11);
            events.push_back(std::move(e));
        }
        Result result = resultOf(r, 20);
        result.points = std::move(pointsOf[result.id]);
        events.back().results.push_back(std::move(result));
    }
    return events;
}

}  // namespace

std::vector<Instrument> Archive::instruments(int64_t today, int defaultIntervalDays) {
    return instrumentsOf(
        db_->query(std::string(kInstrumentQuery) + "ORDER BY i.tag", {defaultIntervalDays}), today,
        defaultIntervalDays);
}

std::vector<Instrument> Archive::due(int64_t today, int64_t byDay, int defaultIntervalDays) {
    return instrumentsOf(db_->query(std::string(kInstrumentQuery) +
                                        "WHERE e.day + COALESCE(i.interval_days, $1) <= $2 "
                                        "ORDER BY due_day, i.tag",
                                    {defaultIntervalDays, byDay}),
                         today, defaultIntervalDays);
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
        "SELECT e.id FROM instruments i JOIN events e ON e.instrument_id = i.id "
        "WHERE i.tag = $1 ORDER BY e.day DESC, e.id DESC LIMIT 1",
        {tag});
    return rows.empty() ? 0 : rows[0].integer(0);
}

std::vector<int64_t> Archive::eventsSince(int64_t day) {
    std::vector<int64_t> ids;
    for (const Row& r : db_->query("SELECT id FROM events WHERE day >= $1 ORDER BY day, id", {day}))
        ids.push_back(r.integer(0));
    return ids;
}

std::vector<Undecodable> Archive::undecodable() {
    std::vector<Undecodable> list;
    for (const Row& r : db_->query("SELECT id, calibrator_serial, taken, text1, result_code, "
                                   "problem FROM results WHERE problem <> '' ORDER BY id",
                                   {})) {
        list.push_back({r.integer(0), r.text(1), r.text(2), r.text(3),
                        static_cast<uint32_t>(r.integer(4)), r.text(5)});
    }
    return list;
}

std::optional<EventRecords> Archive::eventRecords(int64_t eventId) {
    const std::vector<Row> upload =
        db_->query(std::string("SELECT ") + kUploadColumns +
                       " FROM events e JOIN uploads u ON u.id = e.upload_id WHERE e.id = $1",
                   {eventId});
    if (upload.empty()) return std::nullopt;
    EventRecords out;
    out.upload = uploadOf(upload[0], 0);
    for (const Row& r : db_->query(
             "SELECT DISTINCT x.role, x.memory, x.memory_index, c.kind, c.version, c.stamp, c.data "
             "FROM results r JOIN result_records x ON x.result_id = r.id "
             "JOIN records c ON c.hash = x.record_hash WHERE r.event_id = $1 "
             "ORDER BY x.memory, x.memory_index, x.role",
             {eventId})) {
        out.records.push_back({r.text(0), r.text(1), static_cast<int32_t>(r.integer(2)),
                               static_cast<uint16_t>(r.integer(3)),
                               static_cast<uint16_t>(r.integer(4)), r.text(5), r.blob(6)});
    }
    return out;
}

}  // namespace kvtarchive
