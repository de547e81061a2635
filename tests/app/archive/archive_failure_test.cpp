// What the archive does with files and servers that let it down, and its small helpers: where
// the archive is, the hash of record bytes.
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archive/database.h"
#include "archive_engines.h"

namespace {

using namespace kvtarchive;

Result tinyResult(int i) {
    Result r;
    r.taken = "2024-06-19 09:00:" + std::to_string(10 + i);
    r.text1 = "PT-" + std::to_string(i);
    r.verdict = kvtapp::Verdict::Pass;
    r.records = {{"result", "results", 2 * i, 7, 0, r.taken, {uint8_t(i), 1, 2, 3}}};
    return r;
}

// The PostgreSQL server drops the connection in the middle of an add: a clear error, and the
// archive holds nothing of that add.
TEST(ArchivePostgres, ServerGoingAwayMidAddWritesNothing) {
    auto engine = makeEngine("postgresql");
    const std::string location = engine->location();
    if (location.empty()) GTEST_SKIP() << engine->skipped;
    Upload upload;
    upload.calibrator.serialNumber = "SN1";
    for (int i = 0; i < 10; ++i)
        upload.results.push_back(tinyResult(i));
    auto archive = Archive::open(location, Access::Store);
    auto admin = openPostgres(location);
    const auto cutOff = [&](size_t done, size_t) {
        if (done != 5) return;
        admin->query(
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
            "WHERE datname = current_database() AND pid <> pg_backend_pid()",
            {});
    };
    try {
        archive->add(upload, {}, cutOff);
        ADD_FAILURE() << "the add went through";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("went away"), std::string::npos) << e.what();
    }
    for (const char* table : {"results", "uploads"}) {
        EXPECT_EQ(
            admin->query(std::string("SELECT COUNT(*) AS n FROM ") + table, {}).at(0).text("n"),
            "0")
            << table;
    }
    EXPECT_EQ(Archive::open(location, Access::Store)->add(upload).added, 10u);
}

// Unless the URI says otherwise, a statement and a wait for a lock are bounded on the server.
TEST(ArchivePostgres, TimeoutsHaveDefaultsThatTheUriOverrides) {
    auto engine = makeEngine("postgresql");
    const std::string location = engine->location();
    if (location.empty()) GTEST_SKIP() << engine->skipped;
    const struct {
        const char* suffix;
        const char* statement;
        const char* lock;
    } cases[] = {{"", "1min", "30s"},
                 {"&options=-c%20lock_timeout%3D5s", "1min", "5s"},
                 {"&options=-c%20statement_timeout%3D0", "0", "30s"}};
    for (const auto& c : cases) {
        auto db = openPostgres(location + c.suffix);
        EXPECT_EQ(db->query("SHOW statement_timeout", {}).at(0).text("statement_timeout"),
                  c.statement)
            << c.suffix;
        EXPECT_EQ(db->query("SHOW lock_timeout", {}).at(0).text("lock_timeout"), c.lock)
            << c.suffix;
    }
}

// A server that stops answering in the middle of a session (its process stopped) is given up
// after its own bound on a statement and the time to answer at all, and says so.
TEST(ArchivePostgres, ServerThatStopsAnsweringIsGivenUp) {
    auto engine = makeEngine("postgresql");
    const std::string location = engine->location();
    if (location.empty()) GTEST_SKIP() << engine->skipped;
    auto db = openPostgres(location + "&connect_timeout=2&options=-c%20statement_timeout%3D300");
    const pid_t backend =
        std::stoi(db->query("SELECT pg_backend_pid() AS pid", {}).at(0).text("pid"));
    ASSERT_EQ(kill(backend, SIGSTOP), 0);
    try {
        db->query("SELECT 1", {});
        ADD_FAILURE() << "a stopped server answered";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("did not answer within 2300 ms (statement_timeout "
                                             "300 ms and connect_timeout 2 s)"),
                  std::string::npos)
            << e.what();
    }
    kill(backend, SIGCONT);
    try {
        db->query("SELECT 1", {});
        ADD_FAILURE() << "a connection given up was used again";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("given up"), std::string::npos) << e.what();
    }
}

// Reading never writes: a reading connection refuses a change, on either engine.
TEST(ArchiveAccess, ReadingConnectionsNeverWrite) {
    for (const char* name : {"sqlite", "postgresql"}) {
        auto engine = makeEngine(name);
        const std::string location = engine->location();
        if (location.empty()) continue;
        Upload upload;
        upload.calibrator.serialNumber = "SN1";
        upload.results.push_back(tinyResult(1));
        Archive::open(location, Access::Store)->add(upload);
        auto reading = Archive::open(location, Access::Read);
        EXPECT_THROW(reading->setInterval("PT-1", 30), ArchiveError) << name;
        EXPECT_EQ(reading->instruments(0, 365).at(0).intervalSet, false) << name;
        EXPECT_TRUE(Archive::open(location, Access::Change)->setInterval("PT-1", 30)) << name;
    }
}

// A password in a PostgreSQL URI is shown as "***", wherever it is written.
TEST(ArchiveLocation, PasswordIsMasked) {
    const struct {
        const char* location;
        const char* shown;
    } cases[] = {
        {"postgresql://u:pw@h/db", "postgresql://u:***@h/db"},
        {"postgres://u:p%40ss@h:5432/db?sslmode=require",
         "postgres://u:***@h:5432/db?sslmode=require"},
        {"postgresql://u:pw@/db?host=/run/pg", "postgresql://u:***@/db?host=/run/pg"},
        {"postgresql:///db?host=/x&password=pw&user=u",
         "postgresql:///db?host=/x&password=***&user=u"},
        {"postgresql://h/db?password=pw", "postgresql://h/db?password=***"},
        {"postgresql://u@h/db", "postgresql://u@h/db"},
        {"postgresql://h/db?application_name=mypassword=x",
         "postgresql://h/db?application_name=mypassword=x"},
        {"postgresql://h/a:b@c", "postgresql://h/a:b@c"},
        {"/srv/u:pw@h/password=1/records.db", "/srv/u:pw@h/password=1/records.db"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownLocation(c.location), c.shown);
}

// Files that are not archives are refused as they are, untouched.
TEST(ArchiveSqlite, FileThatIsNotAnArchiveIsRefusedUntouched) {
    auto engine = makeEngine("sqlite");
    const std::string path = engine->location();
    const std::string folder = path.substr(0, path.rfind('/'));
    std::filesystem::create_directories(folder);
    const std::string text = "PT-101,2024-06-19,pass\n" + std::string(5000, 'x');
    std::ofstream(path, std::ios::binary) << text;
    try {
        Archive::open(path, Access::Store);
        ADD_FAILURE() << "a text file was opened as an archive";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find(path + " is not a kvtlnk archive"), std::string::npos)
            << e.what();
    }
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

TEST(ArchiveLocation, OptionThenEnvironmentThenLabFileThenDataFolderEachNamed) {
    const char* saved[] = {std::getenv("KVTLNK_ARCHIVE"), std::getenv("XDG_DATA_HOME"),
                           std::getenv("HOME")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                                saved[2] ? saved[2] : ""};
    const struct {
        const char* option;
        const char* environment;
        const char* lab;
        const char* xdg;
        const char* want;
        const char* origin;
    } cases[] = {
        {"a.db", "b.db", "c.db", "/x", "a.db", "given by --archive"},
        {"", "postgresql:///lab", "c.db", "/x", "postgresql:///lab", "given by KVTLNK_ARCHIVE"},
        {"", "", "/l/c.db", "/x", "/l/c.db", "given by the lab file /l/lab.toml"},
        {"", "", "", "/x", "/x/kvtlnk/records.db", "the default place"},
        {"", "", "", "", "/home/t/.local/share/kvtlnk/records.db", "the default place"},
        {"", "", "", "relative", "/home/t/.local/share/kvtlnk/records.db", "the default place"},
    };
    setenv("HOME", "/home/t", 1);
    for (const auto& c : cases) {
        setenv("KVTLNK_ARCHIVE", c.environment, 1);
        setenv("XDG_DATA_HOME", c.xdg, 1);
        const ArchivePlace place = archivePlace(c.option, c.lab, "/l/lab.toml");
        EXPECT_EQ(place.location, c.want);
        EXPECT_EQ(place.origin, c.origin);
    }
    const char* names[] = {"KVTLNK_ARCHIVE", "XDG_DATA_HOME", "HOME"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) {
            setenv(names[i], keep[i].c_str(), 1);
        } else {
            unsetenv(names[i]);
        }
    }
    EXPECT_TRUE(isPostgresLocation("postgres://h/db"));
    EXPECT_FALSE(isPostgresLocation("/srv/postgresql/records.db"));
}

// The keys are libcrypto's SHA-256 as lowercase hex.
TEST(ArchiveHash, Sha256AsHex) {
    const std::string text = "abc";
    EXPECT_EQ(sha256Hex({text.begin(), text.end()}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
