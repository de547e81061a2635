// What the archive does with files and servers that let it down, and its small helpers: where
// the archive is, the hash of record bytes.
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
    auto archive = Archive::open(location);
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
            admin->query(std::string("SELECT COUNT(*) AS n FROM ") + table, {}).at(0).integer("n"),
            0)
            << table;
    }
    EXPECT_EQ(Archive::open(location)->add(upload).added, 10u);
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
        Archive::open(path);
        ADD_FAILURE() << "a text file was opened as an archive";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find(path + " is not a kvtlnk archive"), std::string::npos)
            << e.what();
    }
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

TEST(ArchiveLocation, OptionThenEnvironmentThenLabFileThenDataFolder) {
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
    } cases[] = {
        {"a.db", "b.db", "c.db", "/x", "a.db"},
        {"", "postgresql:///lab", "c.db", "/x", "postgresql:///lab"},
        {"", "", "c.db", "/x", "c.db"},
        {"", "", "", "/x", "/x/kvtlnk/records.db"},
        {"", "", "", "", "/home/t/.local/share/kvtlnk/records.db"},
        {"", "", "", "relative", "/home/t/.local/share/kvtlnk/records.db"},
    };
    setenv("HOME", "/home/t", 1);
    for (const auto& c : cases) {
        setenv("KVTLNK_ARCHIVE", c.environment, 1);
        setenv("XDG_DATA_HOME", c.xdg, 1);
        EXPECT_EQ(archiveLocation(c.option, c.lab), c.want);
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
