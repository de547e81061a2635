// Archives and servers that work against the tool: values no kvtlnk wrote, a PostgreSQL
// server that never answers or holds a lock, and a password in the archive's URI.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "archive/database.h"
#include "archive_engines.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

std::unique_ptr<kvtarchive::Database> rawDatabase(const std::string& location) {
    return kvtarchive::isPostgresLocation(location) ? kvtarchive::openPostgres(location)
                                                    : kvtarchive::openSqlite(location);
}

class HostileArchive : public EngineTest {
  protected:
    ScratchDir dir;
};
KVTLNK_BOTH_ENGINES(HostileArchive);

// Each value read back is checked as one from the calibrator is: out of its range, the command
// stops with a message naming the table, the column and the row, and nothing is allocated,
// indexed or computed from it.
TEST_P(HostileArchive, ValuesOutOfRangeAreRefusedByTableRowAndColumn) {
    const std::string image = fieldImage(dir, 1, stampOn(2024, 2, 1));
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::vector<std::string> exporting = {"archive", "export", "1", "--image",
                                                dir.path("out.json")};
    const struct {
        std::string change;
        std::vector<std::string> command;
        std::vector<std::string> named;
    } cases[] = {
        {"UPDATE result_records SET memory_index = -1",
         exporting,
         {"-1", "result_records.memory_index", "result_id="}},
        {"UPDATE result_records SET memory_index = 2000000000",
         exporting,
         {"2000000000", "result_records.memory_index"}},
        {"UPDATE records SET kind = 70000", exporting, {"70000", "records.kind", "record_hash="}},
        {"UPDATE schema_version SET version = -1 WHERE version = 1",
         {"archive", "add", image},
         {"-1", "schema_version.version", "version="}},
        {"UPDATE schema_version SET version = 4294967298 WHERE version = 2",
         {"archive", "list"},
         {"4294967298", "schema_version.version"}},
        {"UPDATE instruments SET interval_days = 9223372036854775807",
         {"archive", "list"},
         {"9223372036854775807", "instruments.interval_days", "tag=PT-1"}},
        {"UPDATE instruments SET interval_days = -1", {"due"}, {"-1", "instruments.interval_days"}},
        {"UPDATE calibrations SET day = 9223372036854775807",
         {"due"},
         {"9223372036854775807", "calibrations.day", "calibration_id="}},
        {"UPDATE calibrations SET day = -9223372036854775807",
         {"archive", "list"},
         {"calibrations.day", "calibration_id="}},
        {"UPDATE results SET result_code = -5",
         {"history", "TT-2"},
         {"-5", "results.result_code", "result_id="}},
        {"UPDATE results SET decoded = '" + deep + "'",
         {"history", "TT-2"},
         {"results.decoded", "result_id="}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        const std::string location = another();
        ASSERT_EQ(runCli({"--archive", location, "-q", "archive", "add", image}).exitCode, 0);
        rawDatabase(location)->script(c.change);
        std::vector<std::string> args = {"--archive", location, "-q"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << r.out;
        EXPECT_TRUE(has(r.err, "kvtlnk: the archive holds ")) << r.err;
        for (const std::string& part : c.named)
            EXPECT_TRUE(has(r.err, part)) << part << " in " << r.err;
    }
}

// A password in the archive's URI is never shown: not in text, not in JSON, not in errors.
TEST_P(HostileArchive, PasswordOfTheUriIsNeverShown) {
    if (GetParam() != "postgresql") GTEST_SKIP() << "SQLite archives have no password";
    const std::string image = fieldImage(dir, 1, stampOn(2024, 2, 1));
    // The tests' server trusts its user, and takes any password.
    std::string inUser = location();
    inUser.replace(inUser.find(":///"), 4, "://kvtlnk:s3cret@/");
    for (const std::string& location : {inUser, location() + "&password=s3cret"}) {
        SCOPED_TRACE(location);
        const std::vector<std::vector<std::string>> commands = {
            {"archive", "add", image},
            {"archive", "list"},
            {"--json", "archive", "list"},
            {"--json", "archive", "add", image},
            {"due"},
            {"--json", "history", "PT-1"},
            {"history", "XX-9"},
            {"archive", "interval", "XX-9", "30d"},
            {"--json", "archive", "interval", "XX-9", "30d"},
        };
        bool masked = false;
        for (const auto& command : commands) {
            std::vector<std::string> args = {"-q", "--archive", location};
            args.insert(args.end(), command.begin(), command.end());
            const ProcessResult r = runCli(args);
            EXPECT_FALSE(has(r.out + r.err, "s3cret")) << r.out << r.err;
            masked = masked || has(r.out + r.err, "kvtlnk:***@") || has(r.out, "password=***");
        }
        EXPECT_TRUE(masked);
    }
    const ProcessResult wrongServer =
        runCli({"--archive", "postgresql://kvtlnk:s3cret@/db?host=" + dir.path("nowhere"),
                "archive", "list"});
    EXPECT_EQ(wrongServer.exitCode, 2);
    EXPECT_FALSE(has(wrongServer.err, "s3cret")) << wrongServer.err;
}

// A Unix socket that takes connections and never answers: a server that is stuck.
class SilentServer {
  public:
    explicit SilentServer(const std::string& folder) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = folder + "/.s.PGSQL.5432";
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 16);
    }
    ~SilentServer() { close(fd_); }

  private:
    int fd_ = -1;
};

// Every wait on the server is bounded, by default too, and the message says which bound it met.
TEST_P(HostileArchive, ServerThatHangsOrHoldsALockIsGivenUp) {
    if (GetParam() != "postgresql") GTEST_SKIP() << "the bounds of a PostgreSQL server";
    SilentServer silent(dir.path(""));
    for (const std::string& bound : {std::string(""), std::string("&connect_timeout=3")}) {
        const ProcessResult r =
            runProcess(KVTLNK_CLI_PATH,
                       {"--archive", "postgresql:///db?host=" + dir.path("") + bound, "due"}, 40);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_TRUE(has(r.err, bound.empty() ? "no answer within connect_timeout (10 s)"
                                             : "no answer within connect_timeout (3 s)"))
            << r.err;
    }

    ASSERT_EQ(runCli({"--archive", location(), "-q", "archive", "add",
                      fieldImage(dir, 1, stampOn(2024, 2, 1))})
                  .exitCode,
              0);
    const std::string image = fieldImage(dir, 2, stampOn(2024, 3, 1));  // new results
    auto holder = rawDatabase(location());
    holder->begin();
    holder->script("LOCK TABLE calibrations IN ACCESS EXCLUSIVE MODE");
    const struct {
        std::string options;
        std::string fired;
    } bounds[] = {{"-c%20lock_timeout%3D300", "waited past lock_timeout (300 ms) for a lock"},
                  {"-c%20lock_timeout%3D0%20-c%20statement_timeout%3D300",
                   "a statement ran past statement_timeout (300 ms)"}};
    for (const auto& b : bounds) {
        for (const char* command : {"due", "archive"}) {
            std::vector<std::string> args = {"--archive", location() + "&options=" + b.options,
                                             command};
            if (std::string(command) == "archive") args.insert(args.end(), {"add", image});
            const ProcessResult r = runProcess(KVTLNK_CLI_PATH, args, 40);
            EXPECT_EQ(r.exitCode, 2) << command << ": " << r.err;
            EXPECT_TRUE(has(r.err, b.fired)) << command << ": " << r.err;
        }
    }
    holder->rollback();
    const ProcessResult r = runCli({"--archive", location(), "-q", "archive", "add", image});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Stored 3 results")) << r.out;
}

}  // namespace
