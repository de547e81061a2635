// What no output may replace: a kept file is found by what stands at the path, however the
// path is spelled, and a file not made yet by its folder and name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "base/files.h"

namespace {

namespace fs = std::filesystem;
using namespace kvtapp;

TEST(KeptFiles, AnOutputIsFoundAmongThemByWhatStandsThere) {
    std::string pattern = (fs::temp_directory_path() / "kvtkept-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(pattern.data()));
    const std::string dir = pattern;
    fs::create_directories(dir + "/sub");
    std::ofstream(dir + "/records.db") << "archive";
    std::ofstream(dir + "/other.json") << "other";
    ASSERT_EQ(link((dir + "/records.db").c_str(), (dir + "/linked.db").c_str()), 0);
    fs::create_symlink(dir + "/records.db", dir + "/symlink.db");
    const std::vector<KeptFile> kept = {{dir + "/records.db", "the records archive"},
                                        {dir + "/records.db-wal", "the write-ahead log"}};
    const struct {
        std::string output;
        const char* what;  // nullptr: not a kept file
    } cases[] = {
        {dir + "/records.db", "the records archive"},
        {dir + "/sub/../records.db", "the records archive"},
        {dir + "//./records.db", "the records archive"},
        {dir + "/linked.db", "the records archive"},
        {dir + "/symlink.db", "the records archive"},
        {dir + "/records.db-wal", "the write-ahead log"},
        {dir + "/sub/../records.db-wal", "the write-ahead log"},
        {dir + "/other.json", nullptr},
        {dir + "/sub/records.db", nullptr},
        {dir + "/sub/records.db-wal", nullptr},
        {dir + "/records.db-shm", nullptr},
    };
    for (const auto& c : cases) {
        try {
            refuseKept(c.output, kept);
            EXPECT_FALSE(c.what) << c.output << " was not refused";
        } catch (const Error& e) {
            ASSERT_TRUE(c.what) << c.output << ": " << e.what();
            EXPECT_EQ(std::string(e.what()),
                      "cannot write " + c.output + ": it is " + c.what + "; name another file");
        }
    }
    fs::remove_all(dir);
}

}  // namespace
