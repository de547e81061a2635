// The archive against both engines: uploads added once and given back whole, histories, due
// dates, results that do not decode, adds that fail, and schemas it must refuse.
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
    EXPECT_EQ(first.calibrations, 2u);
    EXPECT_EQ(first.suspect, 0u);
    const AddOutcome again = archive->add(upload);
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.held, 3u);
    EXPECT_EQ(again.uploadId, 0);
    EXPECT_EQ(count(location(), "uploads"), 1);
    EXPECT_EQ(count(location(), "records"), 10);  // the shared strategy once

    const std::vector<Calibration> history = archive->history("PT-101");
    ASSERT_EQ(history.size(), 1u);
    const Calibration& e = history[0];
    EXPECT_EQ(e.date, "2024-06-19 09:20:00");
    EXPECT_EQ(e.asFound, kvtapp::Verdict::Fail);
    EXPECT_EQ(e.asLeft, kvtapp::Verdict::Pass);
    EXPECT_EQ(e.asFoundError, -0.31);
    EXPECT_EQ(e.asLeftError, 0.05);
    ASSERT_EQ(e.uploads.size(), 1u);
    EXPECT_EQ(e.uploads[0].calibrator.serialNumber, "SN1");
    EXPECT_EQ(e.uploads[0].technician, "A. Tester");
    EXPECT_EQ(e.uploads[0].source, "field.json");
    EXPECT_TRUE(kvtapp::believed(e));
    EXPECT_EQ(kvtapp::calibrationDay(e), kvtapp::dayNumber(2024, 6, 19));
    ASSERT_EQ(e.results.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_NE(e.results[i].id, 0);
        EXPECT_EQ(e.results[i].upload, e.uploads[0].id);
        EXPECT_EQ(kvtapp::toJson(e.results[i]), kvtapp::toJson(upload.results[i]));
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

    // The calibration's records come back as they were given, each at its place.
    const auto uploads = archive->calibrationRecords(e.id);
    ASSERT_TRUE(uploads);
    ASSERT_EQ(uploads->size(), 1u);
    const UploadRecords* records = &uploads->front();
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
    EXPECT_FALSE(archive->calibrationRecords(e.id + 100));

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

// Calibrations come oldest first whatever order their uploads came in; instruments show the
// last, and are due its interval after it.
TEST_P(ArchiveSuite, HistoryAndDueDates) {
    auto archive = open();
    const struct {
        const char* tag;
        const char* taken;
    } calibrations[] = {{"PT-101", "2024-03-01 10:00:00"},
                        {"PT-101", "2022-01-15 10:00:00"},
                        {"PT-101", "2023-06-30 10:00:00"},
                        {"TT-7", "2024-06-01 08:00:00"},
                        {"FT-3", "2023-01-01 08:00:00"}};
    int serial = 0;
    for (const auto& c : calibrations) {
        archive->add(makeUpload("SN" + std::to_string(++serial),
                                {makeResult(c.tag, c.taken, false, {0.01})}));
    }
    std::vector<std::string> dates;
    for (const Calibration& c : archive->history("PT-101"))
        dates.push_back(c.date.substr(0, 10));
    EXPECT_EQ(dates, std::vector<std::string>({"2022-01-15", "2023-06-30", "2024-03-01"}));
    EXPECT_TRUE(archive->history("XX-1").empty());
    EXPECT_EQ(archive->lastCalibration("PT-101"), archive->history("PT-101").back().id);
    EXPECT_EQ(archive->lastCalibration("XX-1"), 0);
    std::vector<std::string> since;
    for (int64_t id : archive->calibrationsSince(kvtapp::dayNumber(2024, 3, 1))) {
        const std::optional<Calibration> c = archive->calibration(id);
        ASSERT_TRUE(c);
        since.push_back(c->instrument + " " + c->date.substr(0, 10));
    }
    EXPECT_EQ(since, std::vector<std::string>({"PT-101 2024-03-01", "TT-7 2024-06-01"}));
    EXPECT_FALSE(archive->calibration(9999));

    EXPECT_TRUE(archive->setInterval("TT-7", 30));
    EXPECT_FALSE(archive->setInterval("XX-1", 30));
    const int64_t today = kvtapp::dayNumber(2024, 6, 20);
    for (const auto& [interval, due] : std::vector<std::pair<int, std::vector<std::string>>>{
             {365, {"FT-3 2024-01-01 -171", "PT-101 2025-03-01 254", "TT-7 2024-07-01 11"}},
             {180, {"FT-3 2023-06-30 -356", "PT-101 2024-08-28 69", "TT-7 2024-07-01 11"}}}) {
        std::vector<std::string> listed;
        for (const Instrument& i : archive->instruments(today, interval))
            listed.push_back(i.tag + " " + i.due + " " + std::to_string(i.daysLeft));
        EXPECT_EQ(listed, due) << "default interval " << interval;
    }
    const Instrument pt = archive->instruments(today, 365).at(1);
    EXPECT_EQ(pt.calibrations, 3);
    EXPECT_EQ(pt.lastDate, "2024-03-01 10:00:00");
    EXPECT_EQ(pt.lastDay, "2024-03-01");
    EXPECT_EQ(pt.calibratorSerial, "SN1");
    EXPECT_EQ(pt.undated, 0);
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
    EXPECT_EQ(archive->history("PT-101")[0].results.at(0).problem, bad.problem);
}

// An add that fails part-way leaves the archive as it was.
TEST_P(ArchiveSuite, FailedAddLeavesNothing) {
    Upload upload = makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.1}),
                                       makeResult("TT-7", "2024-06-19 09:05:00", false, {0.1})});
    upload.results[1].records.erase(upload.results[1].records.begin());  // its own record
    auto archive = open();
    EXPECT_THROW(archive->add(upload), ArchiveError);
    for (const char* table : {"uploads", "results", "records", "calibrations", "instruments"})
        EXPECT_EQ(count(location(), table), 0) << table;
    upload.results.pop_back();
    EXPECT_EQ(archive->add(upload).added, 1u);
}

// The revision a front end keeps its pages by: it moves with every change the listings show and
// only then.
TEST_P(ArchiveSuite, RevisionMovesWithEachChangeAndOnlyThen) {
    auto archive = open();
    archive->add(makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.01})}));
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
        {"a date confirmed",
         [&] {
             archive->confirmDate(1, {"2024-06-18", "qm", "2024-06-20T08:00:00Z"});
         },
         true},
        {"that date corrected",
         [&] {
             archive->confirmDate(1, {"2024-06-17", "qm", "2024-06-20T08:00:00Z"});
         },
         true},
        {"the same word by another",
         [&] {
             archive->confirmDate(1, {"2024-06-17", "qm2", "2024-06-20T08:05:00Z"});
         },
         true},
        {"another instrument's interval", [&] { archive->setInterval("TT-7", 30); }, true},
        {"the first interval again", [&] { archive->setInterval("PT-101", 60); }, true},
        {"an unknown instrument's interval", [&] { archive->setInterval("XX-1", 30); }, false},
        {"an identity",
         [&] {
             archive->setIdentity("PT-101", {"Acme", "P1", "S1", "0-10 bar", "C", "", "me"});
         },
         true},
        {"the same identity again",
         [&] {
             archive->setIdentity("PT-101", {"Acme", "P1", "S1", "0-10 bar", "C", "", "me"});
         },
         false},
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
    EXPECT_EQ(archive->schemaVersion(), Archive::knownVersion());
    const std::vector<Calibration> history = archive->history("PT-101");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].asFound, kvtapp::Verdict::Pass);
    EXPECT_EQ(history[0].date, "2024-01-02 10:00:00");
    EXPECT_EQ(history[0].certificate, 0);
    EXPECT_EQ(archive->nextCertificateNumber(), 1);
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
