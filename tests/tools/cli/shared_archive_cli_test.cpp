// A lab's shared archive through the tool, on both engines: archive init makes it (and on
// PostgreSQL the role that stores and the role that only reads, each doing what it may), and
// archive copy moves a bench's SQLite archive into it, again without adding anything.
#include <unistd.h>

#include <atomic>

#include "archive/database.h"
#include "archive_engines.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

class SharedArchiveCli : public EngineTest {
  protected:
    ProcessResult tool(const std::string& archive, std::vector<std::string> args) {
        args.insert(args.begin(), {"-q", "--archive", archive});
        return runCli(args);
    }
    // The location with another login of the server.
    std::string as(const std::string& user) {
        std::string at = location();
        at.replace(at.find("user=kvtlnk"), 11, "user=" + user);
        return at;
    }
    ScratchDir dir;
};
KVTLNK_BOTH_ENGINES(SharedArchiveCli);

TEST_P(SharedArchiveCli, InitMakesTheRolesAndEachDoesWhatItMay) {
    if (GetParam() == "sqlite") {
        const ProcessResult r = runCli({"archive", "init", location()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(has(r.out, "is ready, at schema version ")) << r.out;
        EXPECT_TRUE(has(r.out, "an SQLite file")) << r.out;
        return;
    }
    static std::atomic<int> count{0};
    const std::string n = std::to_string(getpid()) + "_" + std::to_string(++count);
    const std::string store = "store_" + n, read = "read_" + n;
    const std::vector<std::string> init = {"archive", "init",        location(), "--store-role",
                                           store,     "--read-role", read};
    const ProcessResult first = runCli(init);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(
        has(first.out, store + " (made) may store results, " + read + " (made) may only read them"))
        << first.out;
    const ProcessResult again = runCli(init);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(has(again.out, store + " (there already)")) << again.out;

    kvtarchive::openPostgres(location())
        ->script("CREATE ROLE bench_" + n + " LOGIN; GRANT " + store + " TO bench_" + n +
                 "; CREATE ROLE web_" + n + " LOGIN; GRANT " + read + " TO web_" + n);
    const std::string image = fieldImage(dir, 1, stampOn(2025, 1, 10));
    const ProcessResult stored = tool(as("bench_" + n), {"archive", "add", image});
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_EQ(tool(as("bench_" + n), {"archive", "interval", "PT-1", "90d"}).exitCode, 0);
    const ProcessResult listed = tool(as("web_" + n), {"archive", "list"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_TRUE(has(listed.out, "2 instruments")) << listed.out;
    for (const std::vector<std::string>& changes :
         {std::vector<std::string>{"archive", "add", fieldImage(dir, 2, stampOn(2025, 2, 10))},
          std::vector<std::string>{"archive", "interval", "PT-1", "30d"}}) {
        const ProcessResult refused = tool(as("web_" + n), changes);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(has(refused.err, "permission denied")) << refused.err;
    }
    const ProcessResult badRole = runCli({"archive", "init", location(), "--read-role", "Web"});
    EXPECT_EQ(badRole.exitCode, 2);
    EXPECT_TRUE(has(badRole.err, "\"Web\" is not a role name")) << badRole.err;
}

TEST_P(SharedArchiveCli, CopyMovesABenchArchiveOnceAndChecksIt) {
    const std::string bench = dir.path("bench.db");
    for (uint32_t seed : {1u, 2u}) {
        const std::string image = fieldImage(dir, seed, stampOn(2025, int(seed), 10));
        ASSERT_EQ(tool(bench, {"archive", "add", image}).exitCode, 0);
    }
    const std::vector<std::string> copy = {"--json", "archive", "copy", bench, location()};
    const ProcessResult first = runCli(copy);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const json copied = jsonOf(first);
    EXPECT_EQ(copied["uploads"], 2);
    EXPECT_EQ(copied["added"], 6);
    EXPECT_EQ(copied["verified"], 6);
    const json again = jsonOf(runCli(copy));
    EXPECT_EQ(again["added"], 0);
    EXPECT_EQ(again["held"], 6);
    EXPECT_EQ(again["sha256"], copied["sha256"]);
    const auto history = [&](const std::string& archive) {
        json events = jsonOf(tool(archive, {"--json", "history", "PT-1"}))["events"];
        for (json& e : events) {
            e.erase("id");
            e["upload"].erase("id");
            for (json& r : e["results"])
                r.erase("id");
        }
        return events;
    };
    EXPECT_EQ(history(location()), history(bench));

    const ProcessResult missing = runCli({"archive", "copy", dir.path("none.db"), location()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(has(missing.err, "none.db: no archive there to copy")) << missing.err;
    const ProcessResult same = runCli({"archive", "copy", bench, dir.path("./bench.db")});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_TRUE(has(same.err, "the source and the destination are the same archive")) << same.err;
}

}  // namespace
