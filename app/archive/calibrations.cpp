#include "archive/calibrations.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/archive.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"
#include "records/calibration.h"

namespace kvtarchive {
namespace {

using kvtapp::Placement;

// A result of an instrument as the grouping sees it: where it is now (0: in no calibration
// yet), and whether its calibration is certified, which keeps its results together.
struct Member {
    int64_t id = 0;
    int64_t calibration = 0;
    bool locked = false;
    Placement placement;
};

std::vector<Member> membersOf(Database& db, int64_t instrument) {
    std::vector<Member> members;
    for (const Row& r : db.query(
             "SELECT r.id, r.calibration_id, r.upload_id, r.taken, r.as_left, r.stamp_problem, "
             "(SELECT COUNT(*) FROM certificates f WHERE f.calibration_id = c.id) AS certified "
             "FROM results r JOIN calibrations c ON c.id = r.calibration_id "
             "WHERE c.instrument_id = $1 ORDER BY r.id",
             {instrument})) {
        kvtapp::Result result;
        result.taken = r.text("taken");
        result.flagged = r.integer(fields::kResultAsLeft) != 0;
        result.stampProblem = r.text("stamp_problem");
        members.push_back({r.integer(fields::kResultRowId), r.integer(fields::kCalibrationId),
                           r.integer(fields::kCertified) > 0,
                           kvtapp::placementOf(result, r.integer(fields::kUploadId))});
    }
    return members;
}

int64_t newCalibration(Database& db, int64_t instrument) {
    return db
        .insert("calibrations",
                {{"instrument_id", instrument},
                 {"date", ""},
                 {"stamp_day", 0},
                 {"clock_suspect", 0},
                 {"date_impossible", 0}},
                " RETURNING id")
        .at(0)
        .integer(fields::kNewCalibration);
}

Value verdictValue(const std::optional<kvtapp::Verdict>& v) {
    return v ? Value(kvtapp::verdictName(*v)) : Value();
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

int64_t instrumentId(Database& db, const std::string& tag, bool untagged) {
    std::vector<Row> rows = db.insert("instruments", {{"tag", tag}, {"untagged", untagged}},
                                      " ON CONFLICT (tag) DO NOTHING RETURNING id");
    if (rows.empty()) rows = db.query("SELECT id FROM instruments WHERE tag = $1", {tag});
    return rows.at(0).integer(fields::kInstrumentId);
}

void summarise(Database& db, int64_t calibration) {
    kvtapp::Calibration c;
    int64_t last = INT64_MIN;
    for (const Row& r : db.query("SELECT taken, as_left, verdict, largest_error, stamp_problem "
                                 "FROM results WHERE calibration_id = $1 ORDER BY id",
                                 {calibration})) {
        const std::string taken = r.text("taken");
        const int64_t second = kvtapp::nearestSecondOfStamp(taken).value_or(0);
        if (second >= last) {
            last = second;
            c.date = taken;
        }
        const std::string problem = r.text("stamp_problem");
        c.dateImpossible = c.dateImpossible || problem == kvtapp::kDateImpossible;
        c.clockSuspect = c.clockSuspect || problem.rfind(kvtapp::kClockSuspect, 0) == 0;
        kvtapp::addToSide(c, r.integer(fields::kResultAsLeft) != 0,
                          kvtapp::verdictNamed(r.text("verdict")), r.real(fields::kLargestError));
    }
    const std::vector<Row> held = db.query(
        "SELECT confirmed_date, confirmed_by FROM calibrations WHERE id = $1", {calibration});
    if (!held.empty() && !held[0].isNull("confirmed_date"))
        c.confirmed = kvtapp::DateConfirmation{held[0].text("confirmed_date"), "", ""};
    const std::optional<int64_t> day = kvtapp::calibrationDay(c);
    db.query(
        "UPDATE calibrations SET date = $2, day = $3, stamp_day = $4, clock_suspect = $5, "
        "date_impossible = $6, as_found = $7, as_left = $8, as_found_error = $9, "
        "as_left_error = $10 WHERE id = $1",
        {calibration, c.date, day ? Value(*day) : Value(), floorDiv(last, 86400), c.clockSuspect,
         c.dateImpossible, verdictValue(c.asFound), verdictValue(c.asLeft), c.asFoundError,
         c.asLeftError});
}

namespace {

// Groups the instrument's results anew, in the order of their stamps (so that the order in
// which uploads came does not matter), the results of a certified calibration kept together;
// each group keeps the calibration that held most of its results. Adds to placed the
// calibrations whose results changed, those removed and the results moved.
void regroup(Database& db, int64_t instrument, std::vector<Member> members,
             const kvtapp::VisitRules& rules, Placed& placed) {
    std::vector<std::vector<Placement>> groups;
    std::vector<std::vector<const Member*>> held;
    std::vector<int64_t> lockedIds;
    std::map<int64_t, size_t> lockedAt;
    for (const Member& m : members) {
        if (!m.locked) continue;
        auto [at, made] = lockedAt.emplace(m.calibration, groups.size());
        if (made) {
            groups.emplace_back();
            held.emplace_back();
            lockedIds.push_back(m.calibration);
        }
        groups[at->second].push_back(m.placement);
        held[at->second].push_back(&m);
    }
    std::vector<const Member*> loose;
    for (const Member& m : members) {
        if (!m.locked) loose.push_back(&m);
    }
    std::stable_sort(loose.begin(), loose.end(), [](const Member* a, const Member* b) {
        return a->placement.second != b->placement.second
                   ? a->placement.second < b->placement.second
                   : a->id < b->id;
    });
    for (const Member* m : loose) {
        std::optional<size_t> at = kvtapp::calibrationFor(groups, m->placement, rules);
        if (!at) {
            at = groups.size();
            groups.emplace_back();
            held.emplace_back();
        }
        groups[*at].push_back(m->placement);
        held[*at].push_back(m);
    }
    // Each group's calibration: a certified one's own; else the one that held most of its
    // results and no group before took; else a new one.
    std::set<int64_t> taken(lockedIds.begin(), lockedIds.end());
    std::set<int64_t> touched;
    for (size_t g = 0; g < held.size(); ++g) {
        int64_t id = g < lockedIds.size() ? lockedIds[g] : 0;
        if (!id) {
            std::map<int64_t, size_t> votes;
            for (const Member* m : held[g]) {
                if (m->calibration && !taken.count(m->calibration)) ++votes[m->calibration];
            }
            size_t most = 0;
            for (const auto& [calibration, n] : votes) {
                if (n > most) {
                    most = n;
                    id = calibration;
                }
            }
            if (!id) id = newCalibration(db, instrument);
            taken.insert(id);
        }
        for (const Member* m : held[g]) {
            if (m->calibration == id) continue;
            db.query("UPDATE results SET calibration_id = $1 WHERE id = $2", {id, m->id});
            placed.moved.insert(m->id);
            touched.insert(id);
            if (m->calibration) touched.insert(m->calibration);
        }
    }
    // A calibration left without results goes, with its record of the standards it rested on
    // (which an archive brought up from before that record has none of); a certified one never
    // goes.
    std::optional<bool> standardsKept;
    for (int64_t id : std::set<int64_t>(touched)) {
        if (taken.count(id)) continue;
        if (!standardsKept) {
            const std::vector<std::string> tables = db.tables();
            standardsKept = std::count(tables.begin(), tables.end(), "calibration_standards") > 0;
        }
        if (*standardsKept)
            db.query("DELETE FROM calibration_standards WHERE calibration_id = $1", {id});
        db.query("DELETE FROM calibrations WHERE id = $1", {id});
        touched.erase(id);
        placed.removed.insert(id);
    }
    placed.calibrations.insert(touched.begin(), touched.end());
}

}  // namespace

Placed placeResults(Database& db, std::vector<PlacedResult> results,
                    const kvtapp::VisitRules& rules) {
    std::map<std::string, std::vector<const PlacedResult*>> byInstrument;
    for (const PlacedResult& r : results)
        byInstrument[r.instrument].push_back(&r);
    Placed placed;
    for (const auto& [tag, added] : byInstrument) {
        const int64_t instrument = instrumentId(db, tag, added.front()->untagged);
        placed.instruments.insert(instrument);
        std::vector<Member> members = membersOf(db, instrument);
        for (const PlacedResult* r : added)
            members.push_back({r->id, 0, false, r->placement});
        regroup(db, instrument, std::move(members), rules, placed);
    }
    for (int64_t calibration : placed.calibrations)
        summarise(db, calibration);
    return placed;
}

namespace {

// The calibrator's upload before each upload: the latest of the same calibrator by the host's
// clock, "" for none.
std::map<int64_t, std::pair<std::string, std::string>> uploadTimes(Database& db) {
    std::map<int64_t, std::pair<std::string, std::string>> times;  // uploaded, previous
    std::map<std::string, std::string> latest;
    for (const Row& r : db.query("SELECT id, calibrator_serial, uploaded FROM uploads "
                                 "ORDER BY calibrator_serial, uploaded, id")) {
        const std::string serial = r.text("calibrator_serial");
        const std::string uploaded = r.text("uploaded");
        const auto previous = latest.find(serial);
        times[r.integer(fields::kUploadRowId)] = {
            uploaded, serial.empty() || previous == latest.end() ? "" : previous->second};
        if (previous == latest.end() || previous->second < uploaded) latest[serial] = uploaded;
    }
    return times;
}

int64_t numbersGiven(Database& db) {
    int64_t given = db.query("SELECT COALESCE(MAX(number), 0) AS n FROM event_certificates")
                        .at(0)
                        .integer(fields::kHighestNumber);
    const std::string sequence =
        db.engine() == "sqlite" ? "SELECT COALESCE(MAX(seq), 0) AS n FROM sqlite_sequence "
                                  "WHERE name IN ('certificates', 'event_certificates')"
                                : "SELECT COALESCE(pg_sequence_last_value(pg_get_serial_sequence("
                                  "'event_certificates', 'number')::regclass), 0) AS n";
    return std::max(given, db.query(sequence).at(0).integer(fields::kHighestNumber));
}

}  // namespace

void groupVersion2(Database& db) {
    const auto times = uploadTimes(db);
    const kvtapp::VisitRules rules;
    std::vector<PlacedResult> placed;
    for (const Row& r : db.query("SELECT id, upload_id, taken, text1, task, strategy, as_left "
                                 "FROM results ORDER BY id")) {
        kvtapp::Result result;
        result.taken = r.text("taken");
        result.text1 = r.text("text1");
        result.task = r.text("task");
        result.taskIndex = result.task.empty() ? -1 : 0;
        result.strategy = r.text("strategy");
        result.flagged = r.integer(fields::kResultAsLeft) != 0;
        const int64_t upload = r.integer(fields::kUploadId);
        const auto time = times.find(upload);
        if (time != times.end()) {
            result.stampProblem =
                kvtapp::stampProblem(result.taken, time->second.first, time->second.second, rules);
        }
        if (!result.stampProblem.empty()) {
            db.query("UPDATE results SET stamp_problem = $1 WHERE id = $2",
                     {result.stampProblem, r.integer(fields::kResultRowId)});
        }
        placed.push_back({r.integer(fields::kResultRowId), kvtapp::instrumentOf(result),
                          kvtapp::untagged(result), kvtapp::placementOf(result, upload)});
    }
    placeResults(db, std::move(placed), rules);
    // Each certificate of an event now certifies the calibration of the event's last result,
    // stating the conditions it was issued with; its document was not kept.
    for (const Row& r : db.query(
             "SELECT c.number, c.issued, e.ambient_temperature, e.humidity, e.remarks, "
             "(SELECT x.calibration_id FROM results x WHERE x.event_id = e.id "
             "ORDER BY x.taken DESC, x.id DESC LIMIT 1) AS calibration_id "
             "FROM event_certificates c JOIN events e ON e.id = c.event_id ORDER BY c.number")) {
        if (r.isNull("calibration_id")) continue;
        db.insert("certificates", {{"number", r.integer(fields::kIssuedNumber)},
                                   {"calibration_id", r.integer(fields::kCalibrationId)},
                                   {"issued", r.text("issued")},
                                   {"issued_at", ""},
                                   {"issued_by", ""},
                                   {"reason", ""},
                                   {"ambient_temperature", r.real(fields::kIssuedTemperature)},
                                   {"humidity", r.real(fields::kIssuedHumidity)},
                                   {"remarks", r.text("remarks")},
                                   {"content", ""},
                                   {"document", ""},
                                   {"sha256", ""}});
    }
    db.insert("certificate_numbers", {{"next", numbersGiven(db) + 1}});
}

}  // namespace kvtarchive
