// The emulator that lasts, as a technician plays two rounds with it through the tool: kvtlnk sim
// start, --port sim naming it, sim stop, and a month later on the emulator's clock, readings that
// drifted.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <cmath>
#include <fstream>
#include <map>

#include "cli_support.h"
#include "procedure_run.h"
#include "registry.h"

namespace {

using nlohmann::json;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Each test keeps the emulator's registry and default state in its scratch directory.
class EmulatorSimCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value != nullptr ? value : "");
        }
        ::setenv("XDG_RUNTIME_DIR", dir.path("run").c_str(), 1);
        ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1);
    }
    void TearDown() override {
        runCli({"sim", "stop"});  // whatever a failed test left running
        for (const auto& [name, value] : saved_) {
            if (value.empty()) {
                ::unsetenv(name.c_str());
            } else {
                ::setenv(name.c_str(), value.c_str(), 1);
            }
        }
    }
    ScratchDir dir;

  private:
    std::vector<std::pair<std::string, std::string>> saved_;
};

// The recorded error of each test point of an image file's results, by instrument.
std::map<std::string, std::vector<double>> recordedErrors(const std::string& file) {
    std::map<std::string, std::vector<double>> errors;
    const json image = json::parse(contents(file));
    for (const json& result : image["decoded"]["results"]) {
        for (const json& point : result["points"])
            errors[result["tags"][1]].push_back(point["recordedError"]);
    }
    return errors;
}

TEST_F(EmulatorSimCommands, TwoRoundsAMonthApartShowEachInstrumentsDrift) {
    const std::string state = dir.path("lab-k27.json");
    const std::string example = KVTLNK_EXAMPLE_PATH;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    } rounds[] = {
        {{"sim", "start", "--state", state, "--clock", "2027-01-15T09:00"},
         0,
         "clock 2027-01-15 09:00"},
        {{"sim", "start"}, 1, "an emulator runs already on /dev/pts/"},
        {{"--port", "sim", "download", example}, 0, "Sent 31 items"},
        {{"--port", "sim", "upload", "--out", dir.path("round1.json")}, 0, "4 result records"},
        {{"sim", "stop"}, 0, state + " keeps its 31 procedure and 4 result items"},
        {{"sim", "status"}, 1, "no emulator runs: kvtlnk sim start runs one"},
        {{"sim", "start", "--state", state, "--clock-offset", "30d"}, 0, "clock 2027-02-14 09:00"},
        {{"--port", "sim", "download", example},
         2,
         "holds results (4 records in its results memory)"},
        {{"--port", "sim", "download", "--discard-results", example}, 0, "Sent 31 items"},
        {{"--port", "sim", "upload", "--out", dir.path("round2.json")}, 0, "4 result records"},
        {{"sim", "status"}, 0, "31 procedure and 4 result items"},
        {{"sim", "stop"}, 0, "Stopped the emulator on /dev/pts/"},
        {{"sim", "stop"}, 0, "No emulator runs."},
    };
    for (const auto& c : rounds) {
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        EXPECT_TRUE(has(r.out + r.err, c.says)) << r.out << r.err;
    }

    const json first = json::parse(contents(dir.path("round1.json")));
    const json second = json::parse(contents(dir.path("round2.json")));
    EXPECT_EQ(first["results"][0]["stamp"].get<std::string>().substr(0, 13), "2027-01-15 09");
    EXPECT_EQ(second["results"][0]["stamp"].get<std::string>().substr(0, 13), "2027-02-14 09");
    const auto before = recordedErrors(dir.path("round1.json"));
    const auto after = recordedErrors(dir.path("round2.json"));
    ASSERT_EQ(before.size(), 2u);
    for (const auto& [instrument, errors] : before) {
        SCOPED_TRACE(instrument);
        const double drift = k27emu::driftPerDay(1, instrument) * 30;
        EXPECT_GT(std::fabs(drift), 0.001);
        ASSERT_EQ(after.at(instrument).size(), errors.size());
        for (size_t i = 0; i < errors.size(); ++i)
            EXPECT_NEAR(after.at(instrument)[i] - errors[i], drift, 1e-4);
    }
}

TEST_F(EmulatorSimCommands, PortSimNamesTheRunningEmulatorAndAOneShotSaysItStartedEmpty) {
    ProcessResult r = runCli({"-q", "--port", "sim", "upload"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.err, "The built-in emulator started empty")) << r.err;

    r = runCli({"--json", "sim", "start"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json started = jsonOf(r);
    EXPECT_EQ(started["state"], dir.path("state/kvtlnk/emulator-state.json"));
    r = runCli({"-q", "--port", "sim", "identify"});
    EXPECT_TRUE(has(r.out, "Calibrator on sim (" + started["port"].get<std::string>() + ")"))
        << r.out;
    r = runCli({"-q", "--port", "sim", "upload"});
    EXPECT_FALSE(has(r.err, "started empty")) << "it is the one that lasts";
    r = runCli({"--json", "sim", "status"});
    EXPECT_EQ(jsonOf(r)["pid"], started["pid"]);

    // An emulator that ended without a word leaves a stale entry, which is removed.
    ASSERT_EQ(::kill(started["pid"].get<pid_t>(), SIGKILL), 0);
    while (k27emu::processRuns(started["pid"].get<pid_t>())) {
    }
    r = runCli({"sim", "status"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "is gone (its entry is removed)")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("run/kvtlnk/emulator.json")));
    r = runCli({"-q", "--port", "sim", "upload"});
    EXPECT_TRUE(has(r.err, "started empty")) << r.err;
}

TEST_F(EmulatorSimCommands, StartRefusesWhatItCannotUse) {
    const std::string damaged = dir.write("damaged.json", R"({"kvtsimState": 1, "seed": "x"})");
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"sim", "start", "--state", damaged}, "damaged.json: seed: not a whole number"},
        {{"sim", "start", "--clock", "tomorrow"}, "--clock: \"tomorrow\" is not a date"},
        {{"sim", "start", "--clock-offset", "1 month"},
         "--clock-offset: \"1 month\" is not a span"},
        {{"sim", "start", "--clock", "2027-01-15T09:00", "--clock-offset", "1d"}, "excludes"},
        {{"sim", "start", "--state", dir.path("no/such/dir/k27.json")}, "cannot write"},
        {{"sim"}, "sim: name start, stop or status"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const ProcessResult r = runCli(c.args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(has(r.err, c.says)) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path("run/kvtlnk/emulator.json")));
    }
    EXPECT_EQ(contents(damaged), R"({"kvtsimState": 1, "seed": "x"})");
}

}  // namespace
