// The audit trail through the tool, on both engines: archive log names who changed the archive
// with which command (no password in it), archive verify says whole with exit 0, then names a
// reading changed behind the tool's back with exit 1; bad options are refused.
#include <regex>

#include "archive/database.h"
#include "archive_engines.h"
#include "calibrator.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

class AuditCli : public EngineTest {
  protected:
    ProcessResult archived(std::vector<std::string> args) {
        args.insert(args.begin(), {"--archive", where(), "-q"});
        return runCli(args);
    }
    // The archive, with a password in it on PostgreSQL (the tests' server trusts any).
    std::string where() {
        return location() + (GetParam() == "postgresql" ? "&password=hunter22" : "");
    }
    ScratchDir dir;
};
KVTLNK_BOTH_ENGINES(AuditCli);

TEST_P(AuditCli, LogAndVerifyNameWhoAndWhatChanged) {
    const std::string image = fieldImage(dir, 1, stampOn(2024, 5, 6), "SN1");
    ASSERT_EQ(archived({"--technician", "Ada", "archive", "add", image}).exitCode, 0);
    ASSERT_EQ(archived({"--technician", "Bob", "archive", "interval", "TT-2", "180d"}).exitCode, 0);

    const ProcessResult log = archived({"--json", "archive", "log"});
    ASSERT_EQ(log.exitCode, 0) << log.err;
    const json rows = jsonOf(log)["log"];
    ASSERT_EQ(rows.size(), 4u) << rows.dump();
    EXPECT_EQ(rows[0]["change"], "archive made");
    EXPECT_EQ(rows[1]["change"], "upload stored");
    EXPECT_NE(rows[1]["command"].get<std::string>().find("archive add " + image),
              std::string::npos);
    EXPECT_EQ(rows[2]["change"], "standards used recorded");
    EXPECT_EQ(rows[3]["technician"], "Bob");
    EXPECT_EQ(rows[3]["touched"]["instruments"].size(), 1u);
    EXPECT_EQ(rows[3]["previous"], rows[2]["sha256"]);
    for (const json& row : rows)
        EXPECT_EQ(row["command"].get<std::string>().find("hunter22"), std::string::npos);
    EXPECT_EQ(jsonOf(archived({"--json", "archive", "log", "--since", "2999-01-01"}))["log"].size(),
              0u);

    const ProcessResult whole = archived({"archive", "verify"});
    EXPECT_EQ(whole.exitCode, 0) << whole.out << whole.err;
    EXPECT_NE(whole.out.find(": whole: 4 audit rows"), std::string::npos) << whole.out;
    std::smatch head;
    ASSERT_TRUE(std::regex_search(whole.out, head, std::regex("head (4:[0-9a-f]{64})")));

    const std::string result = rawDatabase(location())
                                   ->query("SELECT MIN(result_id) AS id FROM points", {})
                                   .at(0)
                                   .text("id");
    rawDatabase(location())
        ->query("UPDATE points SET reading = reading * 2 WHERE result_id = " + result, {});
    const ProcessResult tampered = archived({"archive", "verify", "--witness", head[1]});
    EXPECT_EQ(tampered.exitCode, 1);
    EXPECT_NE(tampered.out.find("results " + result + " changed"), std::string::npos)
        << tampered.out;
    const json verdict = jsonOf(archived({"--json", "archive", "verify"}));
    EXPECT_FALSE(verdict["whole"]);
    ASSERT_EQ(verdict["findings"].size(), 1u);
    EXPECT_EQ(verdict["findings"][0]["key"], result);
}

TEST_P(AuditCli, BadOptionsAreRefused) {
    const std::string image = fieldImage(dir, 1, stampOn(2024, 5, 6), "SN1");
    ASSERT_EQ(archived({"archive", "add", image}).exitCode, 0);
    const std::vector<std::string> bad[] = {
        {"archive", "log", "--since", "yesterday"},
        {"archive", "verify", "--witness", "3"},
        {"archive", "verify", "--witness", "0:" + std::string(64, 'a')},
        {"archive", "verify", "--witness", "2:" + std::string(63, 'a')},
    };
    for (const auto& args : bad) {
        const ProcessResult r = archived(args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << ": " << r.err;
    }
}

}  // namespace
