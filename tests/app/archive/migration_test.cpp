// An archive of schema version 2, as kvtlnk of that version wrote it (fixtures/version2.db,
// made by fixtures/make_version2.sh), brought up to date on both engines: its events become
// calibrations, its stamps are judged, its certificates keep their numbers and conditions, and
// what version 2 wrote stays.
#include <cmath>
#include <filesystem>

#include "archive/fields.h"
#include "archive/schema.h"
#include "archive_engines.h"
#include "base/time.h"

namespace {

using namespace kvtarchive;

const char* const kTables[] = {"schema_version", "uploads",        "instruments",
                               "events",         "results",        "points",
                               "records",        "result_records", "certificates"};

// The fixture's rows copied into a PostgreSQL database of version 2, its certificate numbers'
// sequence where SQLite's stood.
void copyToPostgres(const std::string& fixture, const std::string& location) {
    auto from = openSqlite(fixture);
    auto to = openPostgres(location);
    for (int version = 1; version <= 2; ++version)
        to->script(migrationSql(*to, version));
    to->script("CREATE TABLE schema_version (version BIGINT PRIMARY KEY, applied TEXT NOT NULL)");
    for (const char* table : kTables) {
        std::vector<std::pair<std::string, std::string>> columns;  // name, declared type
        for (const Row& c : from->query(std::string("PRAGMA table_info(") + table + ")"))
            columns.emplace_back(c.text("name"), c.text("type"));
        for (const Row& row : from->query(std::string("SELECT * FROM ") + table)) {
            std::string names, places;
            std::vector<Value> values;
            for (const auto& [name, type] : columns) {
                const Field any{table, name.c_str(),       name.c_str(),
                                "",    -fields::kAnyCount, fields::kAnyCount};
                names += (names.empty() ? "" : ", ") + name;
                places += (places.empty() ? "$" : ", $") + std::to_string(values.size() + 1);
                values.push_back(row.isNull(name.c_str())                ? Value()
                                 : type == "BIGINT" || type == "INTEGER" ? Value(row.integer(any))
                                 : type == "DOUBLE PRECISION"            ? Value(row.real(any))
                                 : type == "BLOB" ? Value::blob(row.blob(any))
                                                  : Value(row.text(name.c_str())));
            }
            to->query(std::string("INSERT INTO ") + table + " (" + names + ") OVERRIDING SYSTEM " +
                          "VALUE VALUES (" + places + ")",
                      values);
        }
    }
    const int64_t given =
        std::stoll(from->query("SELECT seq FROM sqlite_sequence WHERE name = 'certificates'")
                       .at(0)
                       .text("seq"));
    to->query("SELECT setval(pg_get_serial_sequence('certificates', 'number'), $1)", {given});
}

std::string labels(const Calibration& c) {
    std::string text;
    for (const Result& r : c.results)
        text += (text.empty() ? "" : ", ") + r.label;
    return text;
}

class MigrationSuite : public EngineTest {};
KVTLNK_BOTH_ENGINES(MigrationSuite);

TEST_P(MigrationSuite, VersionTwoArchiveBecomesCalibrations) {
    const std::string fixture = std::string(KVTLNK_FIXTURES) + "/version2.db";
    if (isPostgresLocation(location())) {
        copyToPostgres(fixture, location());
    } else {
        std::filesystem::create_directories(std::filesystem::path(location()).parent_path());
        std::filesystem::copy_file(fixture, location());
    }
    ASSERT_EQ(schemaVersion(*rawDatabase(location())), 2);
    auto archive = open();
    EXPECT_EQ(archive->schemaVersion(), Archive::knownVersion());

    // Each instrument's calibrations, as version 2's events were not.
    const struct {
        const char* tag;
        std::vector<std::string> calibrations;  // labels, oldest first
    } instruments[] = {
        // One upload; as found in one upload, as left in the next; a second as found.
        {"PT-1",
         {"as found, as left", "as found, as left", "first as found, second as found, as left"}},
        // Two visits a month apart in one upload are two calibrations.
        {"TT-2", {"as found", "as found", "as found"}},
        {"untagged: task field, strategy 5 ↑", {"as found"}},
    };
    for (const auto& i : instruments) {
        std::vector<std::string> got;
        for (const Calibration& c : archive->history(i.tag))
            got.push_back(labels(c));
        EXPECT_EQ(got, i.calibrations) << i.tag;
    }
    const struct {
        const char* tag;
        const char* stamp;
        bool suspect, impossible;
    } dates[] = {{"FT-3", "2027-01-01 10:00:00", true, false},
                 {"LT-4", "2025-02-30 10:00:00", false, true},
                 {"LT-5", "2025-13-02 10:00:00", false, true}};
    for (const auto& d : dates) {
        const std::vector<Calibration> history = archive->history(d.tag);
        ASSERT_EQ(history.size(), 1u) << d.tag;
        EXPECT_EQ(history[0].date, d.stamp);
        EXPECT_EQ(history[0].clockSuspect, d.suspect) << d.tag;
        EXPECT_EQ(history[0].dateImpossible, d.impossible) << d.tag;
        EXPECT_FALSE(kvtapp::calibrationDay(history[0])) << d.tag;
    }
    const std::vector<Instrument> listed = archive->instruments(kvtapp::dayNumber(2025, 8, 1), 365);
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[4].tag, "TT-2");
    EXPECT_EQ(listed[4].intervalDays, 90);
    EXPECT_EQ(listed[4].due, "2025-08-31");
    EXPECT_TRUE(listed[5].untagged);

    // Each certificate now certifies the calibration of its event's last result, with the
    // conditions it was issued with; its document was not kept. Number 4, deleted behind the
    // archive's back, is not given again.
    const std::vector<Calibration> pt = archive->history("PT-1");
    const std::vector<Calibration> tt = archive->history("TT-2");
    const struct {
        int64_t number;
        int64_t calibration;
        double temperature;
    } certificates[] = {
        {1, pt[0].id, 22.5}, {2, tt[2].id, kvtapp::kNone}, {3, pt[1].id, kvtapp::kNone}};
    for (const auto& c : certificates) {
        const std::optional<IssuedCertificate> held = archive->certificate(c.number);
        ASSERT_TRUE(held) << c.number;
        EXPECT_EQ(held->calibration, c.calibration) << c.number;
        EXPECT_EQ(held->issued, "2026-12-06");
        EXPECT_TRUE(held->document.empty());
        EXPECT_EQ(std::isnan(held->conditions.temperature), std::isnan(c.temperature));
    }
    EXPECT_EQ(archive->certificate(1)->conditions.remarks, "zero trimmed");
    EXPECT_EQ(pt[0].certificate, 1);
    EXPECT_EQ(archive->nextCertificateNumber(), 5);

    // What version 2 wrote is still there.
    EXPECT_EQ(count(location(), "events"), 9);
    EXPECT_EQ(count(location(), "event_certificates"), 3);
    EXPECT_EQ(count(location(), "results"), 14);
    EXPECT_EQ(rawDatabase(location())
                  ->query("SELECT COUNT(*) AS n FROM results WHERE calibration_id IS NULL")
                  .at(0)
                  .text("n"),
              "0");
}

}  // namespace
