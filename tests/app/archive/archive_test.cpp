// The archive against both engines: uploads added once and given back whole, histories, due
// dates, results that do not decode, adds that fail or race, and schemas it must refuse.
#include <algorithm>
#include <cmath>
#include <functional>

#include "archive/database.h"
#include "archive/schema.h"
#include "archive_engines.h"
#include "base/time.h"

namespace {

using namespace kvtarchive;
using kvtapp::kNone;

std::unique_ptr<Database> rawDatabase(const std::string& location) {
    return isPostgresLocation(location) ? openPostgres(location) : openSqlite(location);
}

int64_t count(const std::string& location, const std::string& table) {
    return std::stoll(
        rawDatabase(location)->query("SELECT COUNT(*) AS n FROM " + table, {}).at(0).text("n"));
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// A result of the instrument tag taken at the stamp, with a point for each error (in % of
// span) judged against the tolerance, and the records it rests on: its own bytes follow from
// its stamp, tag and errors; the strategy and the setup are shared by every result.
Result makeResult(const std::string& tag, const std::string& taken, bool asLeft,
                  const std::vector<double>& errors, float tolerance = 0.1f, int32_t index = 1) {
    Result r;
    r.taken = taken;
    r.index = index;
    r.tag = "TAG-0001";
    r.text1 = tag;
    r.text2 = asLeft ? "as left" : "as found";
    r.taskIndex = 12;
    r.task = "field";
    r.strategyIndex = 2;
    r.strategy = "3 up";
    r.flagged = asLeft;
    r.setup.input = {"current", "", "A", {0.004f, 0.02f}, "", ""};
    r.setup.output = {"pressure", "", "bar", {0, 10}, "", ""};
    r.setup.loopPower = "24v";
    r.setup.tolerance = tolerance;
    r.verdict = kvtapp::Verdict::Pass;
    std::string identity = tag + taken + (asLeft ? "L" : "F");
    for (size_t i = 0; i < errors.size(); ++i) {
        kvtapp::Point p;
        p.index = static_cast<int32_t>(i);
        p.fraction = errors.size() > 1 ? float(i) / float(errors.size() - 1) : 0;
        p.nominalSource = 10 * p.fraction;
        p.source = static_cast<float>(p.nominalSource);
        p.sourceLimit = 20;
        p.expected = 0.004 + 0.016 * p.fraction;
        p.error = errors[i];
        p.reading = std::isnan(errors[i])
                        ? kvtapp::kNoValue
                        : static_cast<float>(p.expected + errors[i] * 0.016 / 100);
        p.readingLimit = 0.024f;
        p.recordedError = static_cast<float>(errors[i]);
        p.resolution = 1e-6;
        p.verdict = std::isnan(errors[i])               ? kvtapp::Verdict::None
                    : std::fabs(errors[i]) <= tolerance ? kvtapp::Verdict::Pass
                                                        : kvtapp::Verdict::Fail;
        if (p.verdict == kvtapp::Verdict::Fail) r.verdict = kvtapp::Verdict::Fail;
        r.points.push_back(p);
        identity += std::to_string(errors[i]);
    }
    r.records = {
        {"result", "results", index, 7, 0, taken, bytesOf(identity)},
        {"tag", "results", index + 1, 15, 0, taken, bytesOf("TAG-0001\0" + tag + '\0')},
        {"setup", "results", 0, 5, 1, taken, std::vector<uint8_t>(80, 0x5A)},
        {"strategy", "procedure", 3, 14, 0, "2024-01-01 08:00:00", {0, 0, 0, 3, 0, 0}},
    };
    return r;
}

Upload makeUpload(const std::string& serial, std::vector<Result> results) {
    Upload u;
    u.calibrator.model = "ORVAN K27";
    u.calibrator.firmware = "V1.2.0";
    u.calibrator.serialNumber = serial;
    u.uploaded = "2024-06-20 10:00:00";
    u.host = "bench-1";
    u.user = "lab";
    u.technician = "A. Tester";
    u.source = "field.json";
    u.results = std::move(results);
    return u;
}

class ArchiveSuite : public EngineTest {};
KVTLNK_BOTH_ENGINES(ArchiveSuite);

TEST_P(ArchiveSuite, AddsAnUploadOnceAndGivesEveryValueBack) {
    const Upload upload = makeUpload(
        "SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.02, -0.31, kNone}),
                makeResult("PT-101", "2024-06-19 09:20:00", true, {0.01, -0.02, 0.05}, 0.1f, 3),
                makeResult("TT-7", "2024-06-19 10:00:00", false, {0.05, 0.04}, 0.1f, 5)});
    auto archive = open();
    const AddOutcome first = archive->add(upload);
    EXPECT_EQ(first.added, 3u);
    EXPECT_EQ(first.held, 0u);
    EXPECT_EQ(first.events, 2u);
    const AddOutcome again = archive->add(upload);
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.held, 3u);
    EXPECT_EQ(again.uploadId, 0);
    EXPECT_EQ(count(location(), "uploads"), 1);
    EXPECT_EQ(count(location(), "records"), 10);  // the shared strategy once

    const std::vector<Event> history = archive->history("PT-101");
    ASSERT_EQ(history.size(), 1u);
    const Event& e = history[0];
    EXPECT_EQ(e.date, "2024-06-19 09:20:00");
    EXPECT_EQ(e.asFound, kvtapp::Verdict::Fail);
    EXPECT_EQ(e.asLeft, kvtapp::Verdict::Pass);
    EXPECT_EQ(e.asFoundError, -0.31);
    EXPECT_EQ(e.asLeftError, 0.05);
    EXPECT_EQ(e.upload.calibrator.serialNumber, "SN1");
    EXPECT_EQ(e.upload.technician, "A. Tester");
    EXPECT_EQ(e.upload.source, "field.json");
    ASSERT_EQ(e.results.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_NE(e.results[i].id, 0);
        EXPECT_EQ(toJson(e.results[i]), toJson(upload.results[i]));
        EXPECT_TRUE(e.results[i].records.empty());
    }
    // What other software reads of a result's row.
    const Row row = rawDatabase(location())
                        ->query("SELECT * FROM results WHERE id = $1", {e.results[0].id})
                        .at(0);
    EXPECT_EQ(row.text("setup_output"), "pressure, scale 0 to 10 bar");
    EXPECT_EQ(std::stod(row.text("tolerance")), double(0.1f));
    EXPECT_EQ(std::stod(row.text("largest_error")), -0.31);
    EXPECT_EQ(row.text("verdict"), "fail");

    // The event's records come back as they were given, each at its place.
    const std::optional<EventRecords> records = archive->eventRecords(e.id);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->upload.calibrator.model, "ORVAN K27");
    size_t matched = 0;
    for (const Result& r : {upload.results[0], upload.results[1]}) {
        for (const RestingRecord& want : r.records) {
            for (const RestingRecord& got : records->records) {
                matched += got.role == want.role && got.memory == want.memory &&
                           got.index == want.index && got.kind == want.kind &&
                           got.version == want.version && got.stamp == want.stamp &&
                           got.data == want.data;
            }
        }
    }
    EXPECT_EQ(matched, 8u);
    EXPECT_EQ(records->records.size(), 7u);  // the strategy once
    EXPECT_FALSE(archive->eventRecords(e.id + 100));

    // A later upload that still holds an archived result adds only the new one.
    const AddOutcome later = archive->add(makeUpload(
        "SN1",
        {upload.results[2], makeResult("TT-7", "2024-07-01 10:00:00", false, {0.01}, 0.1f, 7)}));
    EXPECT_EQ(later.added, 1u);
    EXPECT_EQ(later.held, 1u);
    EXPECT_EQ(archive->history("TT-7").size(), 2u);
    EXPECT_EQ(archive->holds("SN1", upload.results), std::vector<bool>({true, true, true}));
    EXPECT_EQ(archive->holds("SN2", upload.results), std::vector<bool>({false, false, false}));
}

// Events come oldest first whatever order their uploads came in; instruments show the last.
TEST_P(ArchiveSuite, HistoryAndDueDates) {
    auto archive = open();
    const struct {
        const char* tag;
        const char* taken;
    } events[] = {{"PT-101", "2024-03-01 10:00:00"},
                  {"PT-101", "2022-01-15 10:00:00"},
                  {"PT-101", "2023-06-30 10:00:00"},
                  {"TT-7", "2024-06-01 08:00:00"},
                  {"FT-3", "2023-01-01 08:00:00"}};
    int serial = 0;
    for (const auto& e : events) {
        archive->add(makeUpload("SN" + std::to_string(++serial),
                                {makeResult(e.tag, e.taken, false, {0.01})}));
    }
    std::vector<std::string> dates;
    for (const Event& e : archive->history("PT-101"))
        dates.push_back(e.date.substr(0, 10));
    EXPECT_EQ(dates, std::vector<std::string>({"2022-01-15", "2023-06-30", "2024-03-01"}));
    EXPECT_TRUE(archive->history("XX-1").empty());
    EXPECT_EQ(archive->lastEvent("PT-101"), archive->history("PT-101").back().id);
    EXPECT_EQ(archive->lastEvent("XX-1"), 0);
    std::vector<std::string> since;
    for (int64_t id : archive->eventsSince(kvtapp::dayNumber(2024, 3, 1))) {
        const std::optional<Event> e = archive->event(id);
        ASSERT_TRUE(e);
        since.push_back(e->instrument + " " + e->date.substr(0, 10));
    }
    EXPECT_EQ(since, std::vector<std::string>({"PT-101 2024-03-01", "TT-7 2024-06-01"}));
    EXPECT_FALSE(archive->event(9999));

    EXPECT_TRUE(archive->setInterval("TT-7", 30));
    EXPECT_FALSE(archive->setInterval("XX-1", 30));
    const int64_t today = kvtapp::dayNumber(2024, 6, 20);
    const std::vector<Instrument> all = archive->instruments(today, 365);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].tag, "PT-101");
    EXPECT_EQ(all[1].events, 3);
    EXPECT_EQ(all[1].lastDate, "2024-03-01 10:00:00");
    EXPECT_EQ(all[1].calibratorSerial, "SN1");
    EXPECT_EQ(all[1].due, "2025-03-01");

    const struct {
        int within;
        int defaultInterval;
        std::vector<std::string> due;  // "tag due days-left", soonest first
    } cases[] = {
        {30, 365, {"FT-3 2024-01-01 -171", "TT-7 2024-07-01 11"}},
        {0, 365, {"FT-3 2024-01-01 -171"}},
        {365, 365, {"FT-3 2024-01-01 -171", "TT-7 2024-07-01 11", "PT-101 2025-03-01 254"}},
        {0, 180, {"FT-3 2023-06-30 -356"}},
        {70, 180, {"FT-3 2023-06-30 -356", "TT-7 2024-07-01 11", "PT-101 2024-08-28 69"}},
        {-400, 365, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "within " << c.within << ", interval " << c.defaultInterval);
        std::vector<std::string> due;
        for (const Instrument& i : archive->due(today, today + c.within, c.defaultInterval))
            due.push_back(i.tag + " " + i.due + " " + std::to_string(i.daysLeft));
        EXPECT_EQ(due, c.due);
    }
}

// A result the library could not decode is kept with its code and listed, never dropped.
TEST_P(ArchiveSuite, ResultThatDoesNotDecodeIsKept) {
    Result bad = makeResult("PT-101", "2024-06-19 09:00:00", false, {});
    bad.resultCode = 2014;
    bad.problem = "MEMcalResult: 2014: no such calibration result";
    bad.verdict = kvtapp::Verdict::None;
    auto archive = open();
    EXPECT_EQ(archive->add(makeUpload("SN1", {bad})).added, 1u);
    const std::vector<Undecodable> listed = archive->undecodable();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].resultCode, 2014u);
    EXPECT_EQ(listed[0].tag, "PT-101");
    ASSERT_EQ(archive->history("PT-101").size(), 1u);
    EXPECT_EQ(archive->history("PT-101")[0].asFound, kvtapp::Verdict::None);
}

// An add that fails part-way leaves the archive as it was.
TEST_P(ArchiveSuite, FailedAddLeavesNothing) {
    Upload upload = makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.1}),
                                       makeResult("TT-7", "2024-06-19 09:05:00", false, {0.1})});
    upload.results[1].records.erase(upload.results[1].records.begin());  // its own record
    auto archive = open();
    EXPECT_THROW(archive->add(upload), ArchiveError);
    for (const char* table : {"uploads", "results", "records", "events", "instruments"})
        EXPECT_EQ(count(location(), table), 0) << table;
    upload.results.pop_back();
    EXPECT_EQ(archive->add(upload).added, 1u);
}

// Certificate numbers: one per event, the same however often it is printed, never given twice
// (not even after a row is deleted behind the archive's back); the conditions stored with the
// event once, and a different one refused with nothing changed.
TEST_P(ArchiveSuite, CertificatesAreNumberedOnceAndNeverAgain) {
    auto archive = open();
    for (const char* tag : {"PT-101", "TT-7", "FT-3"})
        archive->add(makeUpload(std::string("SN-") + tag,
                                {makeResult(tag, "2024-06-19 09:00:00", false, {0.01})}));
    const int64_t pt = archive->lastEvent("PT-101");
    const int64_t tt = archive->lastEvent("TT-7");
    const Conditions given{23.1, 45, "zero trimmed"};
    const std::optional<Certificate> first = archive->certify(pt, given, "2024-06-20");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->issued, "2024-06-20");
    EXPECT_EQ(first->conditions.temperature, 23.1);
    const std::optional<Certificate> again = archive->certify(pt, {}, "2024-07-01");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->number, first->number);
    EXPECT_EQ(again->issued, "2024-06-20");
    EXPECT_EQ(again->conditions.remarks, "zero trimmed");
    EXPECT_EQ(archive->event(pt)->certificate, first->number);
    EXPECT_EQ(archive->event(pt)->conditions.humidity, 45);

    for (const Conditions& changed : {Conditions{24.0, kNone, ""}, Conditions{kNone, 50, ""},
                                      Conditions{kNone, kNone, "other"}}) {
        try {
            archive->certify(pt, changed, "2024-07-01");
            ADD_FAILURE() << "changed conditions were taken";
        } catch (const ArchiveError& e) {
            EXPECT_NE(std::string(e.what()).find("a certificate states the conditions"),
                      std::string::npos)
                << e.what();
        }
    }
    const Event held = *archive->event(pt);
    EXPECT_EQ(held.conditions.temperature, 23.1);
    EXPECT_EQ(held.conditions.remarks, "zero trimmed");

    const std::optional<Certificate> second = archive->certify(tt, {}, "2024-06-21");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->number, first->number + 1);  // printing again took no number
    EXPECT_TRUE(std::isnan(second->conditions.temperature));
    EXPECT_EQ(second->conditions.remarks, "");
    EXPECT_FALSE(archive->certify(9999, {}, "2024-06-21"));
    rawDatabase(location())->query("DELETE FROM certificates WHERE event_id = $1", {tt});
    const std::optional<Certificate> third =
        archive->certify(archive->lastEvent("FT-3"), {}, "2024-06-22");
    ASSERT_TRUE(third);
    EXPECT_GT(third->number, second->number);
}

// The revision a front end keeps its pages by: it moves with every change the listings show and
// only then.
TEST_P(ArchiveSuite, RevisionMovesWithEachChangeAndOnlyThen) {
    auto archive = open();
    archive->add(makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.01})}));
    const int64_t pt = archive->lastEvent("PT-101");
    const struct {
        const char* what;
        std::function<void()> change;
        bool moves;
    } steps[] = {
        {"nothing", [] {}, false},
        {"an upload",
         [&] {
             archive->add(
                 makeUpload("SN2", {makeResult("TT-7", "2024-06-19 10:00:00", false, {0.02})}));
         },
         true},
        {"an interval", [&] { archive->setInterval("PT-101", 30); }, true},
        {"another instrument's interval", [&] { archive->setInterval("TT-7", 30); }, true},
        {"the first interval again", [&] { archive->setInterval("PT-101", 60); }, true},
        {"an unknown instrument's interval", [&] { archive->setInterval("XX-1", 30); }, false},
        {"a certificate", [&] { archive->certify(pt, {}, "2024-06-20"); }, true},
        {"the certificate printed again", [&] { archive->certify(pt, {}, "2024-06-21"); }, false},
    };
    for (const auto& step : steps) {
        const std::string before = archive->revision();
        step.change();
        EXPECT_EQ(archive->revision() != before, step.moves) << step.what;
    }
}

// An archive of version 1 is brought up to date on open, keeping what it holds.
TEST_P(ArchiveSuite, VersionOneArchiveIsBroughtUpToDate) {
    {
        auto db = rawDatabase(location());
        db->script(migrationSql(*db, 1));
        db->script(
            "CREATE TABLE schema_version (version BIGINT PRIMARY KEY, applied TEXT NOT NULL);"
            "INSERT INTO schema_version VALUES (1, '2024-01-01T00:00:00Z');"
            "INSERT INTO uploads VALUES (1, 'K27', 'V1', 'SN1', 'u', 'h', 'n', 't', 's');"
            "INSERT INTO instruments (id, tag) VALUES (1, 'PT-101');"
            "INSERT INTO events (id, instrument_id, upload_id, date, day, as_found) "
            "VALUES (1, 1, 1, '2024-01-02 10:00:00', 19724, 'pass');"
            "INSERT INTO results VALUES (1, 1, 1, 'SN1', '2024-01-02 10:00:00', 'h', 0, 'TAG', "
            "'PT-101', '', 't', 's', 0, 'pass', 0.1, 0.01, 'A', 'bar', 'i', 'o', 'r', 0, '', "
            "'{}')");
    }
    auto archive = open();
    EXPECT_EQ(archive->schemaVersion(), 2);
    const std::optional<Event> e = archive->event(1);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->instrument, "PT-101");
    EXPECT_EQ(e->asFound, kvtapp::Verdict::Pass);
    EXPECT_TRUE(std::isnan(e->conditions.temperature));
    EXPECT_EQ(e->certificate, 0);
    ASSERT_TRUE(archive->certify(1, {21.5, kNone, ""}, "2024-01-03"));
    EXPECT_EQ(archive->event(1)->conditions.temperature, 21.5);
}

// The schema: made on first open, refused when newer than the code or not an archive's.
TEST_P(ArchiveSuite, SchemaVersions) {
    EXPECT_EQ(open()->schemaVersion(), Archive::knownVersion());
    EXPECT_EQ(open()->schemaVersion(), Archive::knownVersion());  // nothing to do the second time
    rawDatabase(location())
        ->query("INSERT INTO schema_version (version, applied) VALUES (99, 'x')", {});
    try {
        open();
        ADD_FAILURE() << "a newer archive was opened";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("has schema version 99, newer than this kvtlnk"),
                  std::string::npos)
            << e.what();
    }
    const std::string other = another();
    rawDatabase(other)->script("CREATE TABLE accounts (id BIGINT)");
    try {
        Archive::open(other, Access::Store);
        ADD_FAILURE() << "a database of another program was taken";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("is not a kvtlnk archive"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(count(other, "accounts"), 0);
}

}  // namespace
