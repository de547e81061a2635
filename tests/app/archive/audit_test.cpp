// The audit trail against both engines: each change of the archive appends one row naming who
// made it, and an archive changed behind the tool's back (as sqlite3 or psql would) has each
// changed, inserted or deleted row named by verify; concurrent writers on PostgreSQL keep one
// chain; an archive of the version before the trail gets one that vouches for what it held.
#include <nlohmann/json.hpp>
#include <thread>

#include "archive/audit.h"
#include "archive/schema.h"
#include "archive_engines.h"

namespace {

using namespace kvtarchive;
using json = nlohmann::ordered_json;

const Actor kAda{"Ada", "kvtlnk archive add day.img", "ada"};

IssuedCertificate issued(int64_t number, int64_t calibration) {
    IssuedCertificate c;
    c.number = number;
    c.calibration = calibration;
    c.issued = "2024-06-20";
    c.issuedAt = "2024-06-20T08:00:00Z";
    c.issuedBy = "lab";
    c.content = "{}";
    c.document = "<html>" + std::to_string(number) + "</html>";
    c.sha256 = sha256Hex({c.document.begin(), c.document.end()});
    return c;
}

// An archive with two instruments' calibrations, an interval, an identity and a certificate.
void fill(Archive& archive) {
    archive.add(
        makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.01, 0.02}),
                           makeResult("PT-101", "2024-06-19 09:30:00", true, {0.01}, 0.1f, 2),
                           makeResult("TT-204", "2024-06-19 10:00:00", false, {0.05}, 0.1f, 3)}));
    archive.setInterval("PT-101", 180);
    archive.setIdentity("PT-101", {"Acme", "P10", "A-77", "0 to 10 bar", "Plant 4", "", "cli"});
    archive.storeCertificate(issued(1, archive.lastCalibration("PT-101")));
    kvtlab::Standard calibrator;
    calibrator.serial = "SN1";
    calibrator.certificate = "C-1";
    calibrator.due = "2025-01-01";
    archive.recordStandardsUsed(
        {{archive.lastCalibration("PT-101"), "calibrator", calibrator, "in date", "", false}});
}

class AuditSuite : public EngineTest {
  protected:
    std::unique_ptr<Archive> openAs(const Actor& actor) {
        return Archive::open(location(), Access::Store, actor);
    }
};
KVTLNK_BOTH_ENGINES(AuditSuite);

TEST_P(AuditSuite, EveryChangeAppendsOneRowNamingWhoMadeIt) {
    auto archive = openAs(kAda);
    const int64_t made = archive->auditLog().size();
    ASSERT_EQ(made, 1);
    EXPECT_EQ(archive->auditLog()[0].change, "archive made");
    fill(*archive);
    const std::vector<AuditEntry> log = archive->auditLog();
    struct Expected {
        const char* change;
        const char* table;  // a table among the rows it touched
    };
    const Expected expected[] = {{"upload stored", "results"},
                                 {"interval set", "instruments"},
                                 {"identity set", "instrument_identities"},
                                 {"certificate issued", "certificates"},
                                 {"standards used recorded", "calibrations"}};
    ASSERT_EQ(log.size(), made + std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const AuditEntry& e = log[made + i];
        SCOPED_TRACE(expected[i].change);
        EXPECT_EQ(e.change, expected[i].change);
        EXPECT_EQ(e.technician, "Ada");
        EXPECT_EQ(e.osUser, "ada");
        EXPECT_EQ(e.command, "kvtlnk archive add day.img");
        EXPECT_TRUE(json::parse(e.touched).contains(expected[i].table)) << e.touched;
        EXPECT_EQ(e.previous, log[made + i - 1].sha256);
    }
    // The newest rows alone, still oldest first, and how many there are.
    const std::vector<AuditEntry> newest = archive->auditLog("", 2);
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(newest[0].id, log[log.size() - 2].id);
    EXPECT_EQ(newest[1].id, log.back().id);
    EXPECT_EQ(archive->auditCount(), int64_t(log.size()));
    EXPECT_EQ(archive->auditCount("2999-01-01"), 0);
    // The upload's row holds every result it stored.
    EXPECT_EQ(json::parse(log[made].touched)["results"].size(), 3u);

    // What changes nothing writes no row: the same identity, an unknown tag, an upload held.
    EXPECT_FALSE(
        archive->setIdentity("PT-101", {"Acme", "P10", "A-77", "0 to 10 bar", "Plant 4", "", ""}));
    EXPECT_FALSE(archive->setInterval("XX-9", 90));
    archive->add(
        makeUpload("SN1", {makeResult("TT-204", "2024-06-19 10:00:00", false, {0.05}, 0.1f, 3)}));
    EXPECT_EQ(archive->auditLog().size(), log.size());
    EXPECT_TRUE(archive->verify().whole());

    // A later calibration's upload seals what it made, not the instrument's whole history.
    archive->add(makeUpload("SN1", {makeResult("PT-101", "2024-12-19 09:00:00", false, {0.02})},
                            "2024-12-19 17:00:00"));
    const json later = json::parse(archive->auditLog().back().touched);
    EXPECT_EQ(later["calibrations"].size(), 1u) << later;
    EXPECT_EQ(later["results"].size(), 1u) << later;
    EXPECT_TRUE(archive->verify().whole());
}

TEST_P(AuditSuite, FactsGoIntoTheRowOfTheNextChangeOnly) {
    auto archive = openAs(kAda);
    archive->add(makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.01})}));
    archive->addFacts({{"dcc_sha256", std::string(64, 'a')}});
    EXPECT_THROW(archive->addFacts(json::array({1})), ArchiveError);
    archive->storeCertificate(issued(1, archive->lastCalibration("PT-101")));
    archive->setInterval("PT-101", 90);
    const std::vector<AuditEntry> log = archive->auditLog();
    const json issuedFacts = json::parse(log[log.size() - 2].facts);
    EXPECT_EQ(issuedFacts["dcc_sha256"], std::string(64, 'a'));
    EXPECT_EQ(issuedFacts["certificate"], 1);
    EXPECT_FALSE(json::parse(log.back().facts).contains("dcc_sha256"));
}

// A hand behind the tool's back, as sqlite3 or psql would do it, and the finding verify must
// make of it.
struct Tampering {
    const char* name;
    std::vector<std::string> sql;  // {result} stands for the first result's id
    const char* what;
    const char* table;
    const char* keyQuery;  // gives the key named, as column k
};

const Tampering kTamperings[] = {
    {"a reading changed",
     {"UPDATE points SET reading = reading + 0.001 WHERE result_id = {result} AND point = 0"},
     "changed",
     "results",
     "SELECT {result} AS k"},
    {"a raw record changed",
     {"UPDATE records SET stamp = 'x' WHERE hash = (SELECT record_hash FROM result_records WHERE "
      "result_id = {result} AND role = 'result')"},
     "changed",
     "records",
     "SELECT record_hash AS k FROM result_records WHERE result_id = {result} AND role = 'result'"},
    {"a result row deleted",
     {"DELETE FROM points WHERE result_id = {result}",
      "DELETE FROM result_records WHERE result_id = {result}",
      "DELETE FROM results WHERE id = {result}"},
     "deleted",
     "results",
     "SELECT {result} AS k"},
    {"a row inserted",
     {"INSERT INTO instruments (tag, untagged) VALUES ('XX-1', 0)"},
     "inserted",
     "instruments",
     "SELECT id AS k FROM instruments WHERE tag = 'XX-1'"},
    {"an interval set by hand",
     {"UPDATE instruments SET interval_days = 3650 WHERE tag = 'PT-101'"},
     "changed",
     "instruments",
     "SELECT id AS k FROM instruments WHERE tag = 'PT-101'"},
    {"a certificate edited",
     {"UPDATE certificates SET document = '<html>forged</html>' WHERE number = 1"},
     "changed",
     "certificates",
     "SELECT 1 AS k"},
    {"the certificate of a standard used swapped",
     {"UPDATE calibration_standards SET certificate = 'C-2'"},
     "changed",
     "calibrations",
     "SELECT calibration_id AS k FROM calibration_standards"},
    {"an audit row edited",
     {"UPDATE audit SET technician = 'Mallory' WHERE id = 3"},
     "changed",
     "audit",
     "SELECT 3 AS k"},
    {"an audit row deleted",
     {"DELETE FROM audit WHERE id = 3"},
     "deleted",
     "audit",
     "SELECT 3 AS k"},
    {"an audit row's hash overwritten",
     {"UPDATE audit SET sha256 = previous WHERE id = 2"},
     "changed",
     "audit",
     "SELECT 2 AS k"},
};

std::string withResult(std::string sql, const std::string& result) {
    for (size_t at = sql.find("{result}"); at != std::string::npos; at = sql.find("{result}"))
        sql.replace(at, 8, result);
    return sql;
}

TEST_P(AuditSuite, EachTamperingIsNamed) {
    for (const Tampering& t : kTamperings) {
        SCOPED_TRACE(t.name);
        const std::string where = another();
        {
            auto archive = Archive::open(where, Access::Store, kAda);
            fill(*archive);
            ASSERT_TRUE(archive->verify().whole()) << archive->verify().line();
        }
        auto raw = rawDatabase(where);
        const std::string result =
            raw->query("SELECT MIN(id) AS id FROM results", {}).at(0).text("id");
        // The key of the row, as it stood before (one deleted) or stands after (one inserted).
        const auto keyOf = [&] {
            const std::vector<Row> rows = raw->query(withResult(t.keyQuery, result), {});
            return rows.empty() ? std::string() : rows[0].text("k");
        };
        std::string key = keyOf();
        for (const std::string& sql : t.sql)
            raw->query(withResult(sql, result), {});
        if (key.empty()) key = keyOf();
        const AuditVerdict verdict = Archive::open(where, Access::Read)->verify();
        EXPECT_FALSE(verdict.whole());
        bool named = false;
        for (const AuditFinding& f : verdict.findings)
            named |= f.what == t.what && f.table == t.table && f.key == key;
        std::string found;
        for (const AuditFinding& f : verdict.findings)
            found += f.what + " " + f.table + " " + f.key + "; ";
        EXPECT_TRUE(named) << "found: " << found;
    }
}

// Recomputing the chain from the middle after a change by hand leaves a chain that holds
// together: only a hash written down earlier (a witness) shows it.
TEST_P(AuditSuite, AChainComputedAgainFailsItsWitness) {
    auto archive = openAs(kAda);
    fill(*archive);
    const AuditVerdict before = archive->verify();
    const Witness witness{before.headId, before.head};
    auto raw = rawDatabase(location());
    raw->query("UPDATE instruments SET interval_days = 3650 WHERE tag = 'PT-101'", {});
    // The interval's row sealed again, and every audit row from the interval's on re-hashed.
    std::vector<AuditEntry> log = archive->auditLog();
    const std::string instrument =
        raw->query("SELECT id FROM instruments WHERE tag = 'PT-101'", {}).at(0).text("id");
    bool from = false;
    for (size_t i = 0; i < log.size(); ++i) {
        AuditEntry& e = log[i];
        from |= e.change == "interval set";
        if (!from) continue;
        json touched = json::parse(e.touched);
        if (touched.contains("instruments") && touched["instruments"].contains(instrument)) {
            const std::set<std::string> keys{instrument};
            touched["instruments"][instrument] = sealRows(*raw, "instruments", &keys)[instrument];
        }
        e.touched = touched.dump();
        e.previous = log[i - 1].sha256;
        e.sha256 = e.contentSha256();
        raw->query("UPDATE audit SET touched = $1, previous = $2, sha256 = $3 WHERE id = $4",
                   {e.touched, e.previous, e.sha256, e.id});
    }
    EXPECT_TRUE(archive->verify().whole()) << "the chain holds together by itself";
    const AuditVerdict after = archive->verify({witness});
    ASSERT_EQ(after.findings.size(), 1u);
    EXPECT_EQ(after.findings[0].table, "audit");
    EXPECT_EQ(after.findings[0].key, std::to_string(witness.id));
}

// The archive as the version before the trail left it: the trail's table and the results'
// hashes of their records taken away, its version rows with them.
void backToVersionBeforeTrail(Database& db) {
    int trail = 0;
    for (size_t i = 0; i < migrations().size(); ++i) {
        if (std::string(migrations()[i].sql).find("CREATE TABLE audit") != std::string::npos)
            trail = static_cast<int>(i) + 1;
    }
    // The migrations after the trail's go too (the standards each calibration rests on).
    db.script(
        "DROP TABLE audit; ALTER TABLE results DROP COLUMN records_sha256; DROP TABLE IF EXISTS "
        "calibration_standards");
    db.query("DELETE FROM schema_version WHERE version >= $1", {trail});
}

TEST_P(AuditSuite, AnOlderArchiveGetsATrailThatVouchesForWhatItHeld) {
    {
        auto archive = open();
        fill(*archive);
    }
    backToVersionBeforeTrail(*rawDatabase(location()));
    auto archive = openAs(kAda);
    const std::vector<AuditEntry> log = archive->auditLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].change, "schema brought up to date");
    EXPECT_EQ(log[0].technician, "Ada");
    const json touched = json::parse(log[0].touched);
    EXPECT_EQ(touched["results"].size(), 3u);
    EXPECT_EQ(touched["certificates"].size(), 1u);
    const AuditVerdict verdict = archive->verify();
    EXPECT_TRUE(verdict.whole()) << verdict.line();
    EXPECT_EQ(verdict.results, 3u);
    EXPECT_EQ(count(location(), "results WHERE records_sha256 IS NULL"), 0);
}

// Two benches storing at once into one PostgreSQL archive append to one chain.
TEST_P(AuditSuite, ConcurrentWritersKeepOneChain) {
    if (GetParam() != "postgresql") GTEST_SKIP() << "one SQLite writer at a time by its lock";
    open()->add(makeUpload("SN0", {makeResult("PT-0", "2024-06-19 08:00:00", false, {0.01})}));
    constexpr int kEach = 12;
    const auto bench = [&](const std::string& serial, const std::string& technician) {
        auto archive = Archive::open(location(), Access::Store, {technician, "", ""});
        for (int i = 0; i < kEach; ++i) {
            const std::string taken = "2024-06-19 09:" + std::to_string(10 + i) + ":00";
            archive->add(makeUpload(serial, {makeResult("PT-0", taken, false, {0.01})}));
            archive->setInterval("PT-0", 30 + i);
        }
    };
    std::thread one(bench, "SN1", "Ada");
    std::thread two(bench, "SN2", "Bob");
    one.join();
    two.join();
    auto archive = open();
    const AuditVerdict verdict = archive->verify();
    EXPECT_TRUE(verdict.whole()) << verdict.line();
    EXPECT_EQ(verdict.rows, 2u + 4 * kEach);
}

}  // namespace
