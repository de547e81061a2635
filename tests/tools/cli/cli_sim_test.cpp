// The tool as a process against the emulator: its own in-process one (--port sim), or one
// this test serves on a pty, which keeps its memories from one invocation to the next.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "calibrator.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

const std::string kExample = KVTLNK_EXAMPLE_PATH;
const std::string kMissing = "/nonexistent/kvtlnk-missing.json";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Each command's exit code and a part of its standard output, or of standard error when the
// code is not 0; the commands that need a calibrator run against the built-in emulator.
TEST(CliSim, EachCommandsOutputAndExitCode) {
    ScratchDir dir;
    const std::string cannotRead = "cannot read " + kMissing + ": No such file";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {"overview", {"--help"}, 0, "Exit status: 0 done"},
        {"port option", {"--help"}, 0, "--port"},
        {"identify help", {"identify", "--help"}, 0, "model, firmware"},
        {"memstats help", {"memstats", "--help"}, 0, "item counts"},
        {"download help", {"download", "--help"}, 0, "FILE"},
        {"upload help", {"upload", "--help"}, 0, "--out"},
        {"clear help", {"clear", "--help"}, 0, "procedure memory"},
        {"dump help", {"dump", "--help"}, 0, "--from"},
        {"show help", {"show", "--help"}, 0, "image file or procedure description"},
        {"demo help", {"demo", "--help"}, 0, "--yes"},
        {"no command", {}, 2, "name a command: identify, memstats"},
        {"unknown command", {"fly"}, 2, "not expected: fly"},
        {"download without a file", {"download"}, 2, "FILE is required"},
        {"time-out out of range", {"--timeout", "0", "identify"}, 2, "--timeout"},
        {"download of a missing file", {"download", kMissing}, 2, cannotRead},
        {"show of a missing file", {"show", kMissing}, 2, cannotRead},
        {"dump of a missing file", {"dump", dir.path("x"), "--from", kMissing}, 2, cannotRead},
        {"identify", {"identify"}, 0, "ORVAN K27"},
        {"identify names the port", {"identify"}, 0, "Calibrator on sim (/dev/pts/"},
        {"memstats", {"memstats"}, 0, "procedure items"},
        {"clear", {"clear"}, 0, "Cleared the procedure memory"},
        {"download", {"download", kExample}, 0, "Sent 26 items"},
        {"upload of an empty calibrator", {"upload"}, 0, "Procedure memory: empty"},
        {"a model the library refuses",
         {"--sim-model", "ORVAN K2", "identify"},
         1,
         "2005: the calibrator's model or firmware does not take this"},
        {"demo", {"-q", "demo"}, 0, "Round trip: all 32 procedure records came back"},
        {"demo on an instrument asks first",
         {"--port", "/dev/ttyUSB0", "demo"},
         2,
         "replaces the procedure memory of the calibrator on /dev/ttyUSB0"},
        {"dump of a description",
         {"dump", dir.path("d"), "--from", kExample},
         0,
         "26 procedure record files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(has(c.exitCode == 0 ? r.out : r.err, c.out)) << r.out << r.err;
        if (c.out == cannotRead) {
            EXPECT_EQ(r.err.rfind("kvtlnk: " + cannotRead, 0), 0u) << "the reason comes first";
        }
    }
    std::ifstream listing(dir.path("d/prc.dir"));
    int lines = 0;
    for (std::string line; std::getline(listing, line);)
        ++lines;
    EXPECT_EQ(lines, 26);
    EXPECT_EQ(std::filesystem::file_size(dir.path("d/prc0.nd")), 14u);
    EXPECT_TRUE(std::filesystem::exists(dir.path("d/res.dir")));
}

TEST(CliSim, JsonOutputOfEachCommand) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* pointer;
        json value;
    } cases[] = {
        {{"identify"}, 0, "/model", "ORVAN K27"},
        {{"identify"}, 0, "/library", "1.1"},
        {{"memstats"}, 0, "/procedureItems", 0},
        {{"-q", "download", kExample}, 0, "/items", 26},
        {{"-q", "download", kExample}, 0, "/tasks", 2},
        {{"-q", "demo"}, 0, "/roundTrip/same", true},
        {{"--port", "/dev/kvtlnk-none", "identify"}, 1, "/error/resultCode", 2017},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "--json");
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.pointer;
        EXPECT_EQ(jsonOf(r).value(json::json_pointer(c.pointer), json()), c.value) << c.pointer;
    }
}

// An emulator served by the test, as an instrument that stays on between invocations.
class CliInstrument : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(emu.start()); }

    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", emu.portPath(), "--timeout", "100", "-q"});
        return runCli(args);
    }

    k27emu::Calibrator emu;
    ScratchDir dir;
};

TEST_F(CliInstrument, DownloadThenUploadRoundTripsThroughFiles) {
    ASSERT_EQ(cli({"download", kExample}).exitCode, 0);
    const std::string image = dir.path("image.json");
    ASSERT_EQ(cli({"upload", "--out", image}).exitCode, 0);

    // The image file shown, against what the description builds in the library.
    const json back = jsonOf(runCli({"--json", "show", image}));
    const json built = jsonOf(runCli({"--json", "show", kExample}));
    ASSERT_EQ(back["procedure"].size(), 26u);
    ASSERT_EQ(back["procedure"].size(), built["procedure"].size());
    for (size_t i = 0; i < back["procedure"].size(); ++i) {
        for (const char* field : {"kind", "version", "code", "data"}) {
            EXPECT_EQ(back["procedure"][i][field], built["procedure"][i][field]) << i << field;
        }
    }
    EXPECT_EQ(back["decoded"]["tasks"], built["decoded"]["tasks"]);
    EXPECT_EQ(back["decoded"]["promptDefinitions"], built["decoded"]["promptDefinitions"]);
    EXPECT_EQ(back["decoded"]["strategies"][9]["name"], "4 pt ↑");
    EXPECT_EQ(back["calibrator"]["model"], "ORVAN K27");

    const ProcessResult shown = runCli({"show", image});
    EXPECT_EQ(shown.exitCode, 0);
    for (const char* part :
         {"Calibrator: ORVAN K27", "Procedure memory: 26 records", "Results memory: empty",
          "110% check", "\"TT-204 temperature\"", "connect RTD"}) {
        EXPECT_TRUE(has(shown.out, part)) << part << '\n' << shown.out;
    }

    ASSERT_EQ(cli({"clear"}).exitCode, 0);
    EXPECT_EQ(jsonOf(cli({"--json", "memstats"})).value("procedureItems", -1), 0);
}

TEST_F(CliInstrument, FailuresSayWhatHappenedAndWhatIsLeft) {
    // The calibrator refuses the sixth record's announcement.
    std::atomic<int> announced{0};
    emu.setCommandObserver([&](const k27emu::LoggedCommand& c) {
        if (c.text.rfind("ma p", 0) == 0 && ++announced == 5) emu.faults().refuse("ma p");
    });
    ProcessResult r = cli({"download", kExample});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "download stopped after 5 of 26 items: 2018: the calibrator refused"))
        << r.err;
    EXPECT_TRUE(has(r.err, "the calibrator holds a partial procedure memory")) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // one line

    emu.faults().clear();
    emu.faults().goSilent();
    r = cli({"--attempts", "2", "identify"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kvtlnk: opening " + emu.portPath() +
                         ": 2019: the calibrator did not answer: check the cable, the port and "
                         "that the instrument is on\n");

    emu.faults().clear();
    const int holder = open(emu.portPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    r = cli({"identify"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(has(r.err, "2017: no session, or the serial port cannot be opened")) << r.err;
    close(holder);
}

TEST_F(CliInstrument, ImageFilesWithProblemsAreRefused) {
    struct BadImage {
        const char* what;
        std::string json;
        const char* message;
    };
    const BadImage cases[] = {
        {"odd hex",
         R"({"procedure":[{"kind":13,"version":0,"stamp":"2024-01-02 03:04:05","data":"0"}]})",
         "procedure[0].data: must be hexadecimal byte pairs"},
        {"kind too big",
         R"({"results":[{"kind":70000,"version":0,"stamp":"2024-01-02 03:04:05","data":""}]})",
         "results[0].kind: must be a whole number from 0 to 65535"},
        {"stamp before 1992",
         R"({"procedure":[{"kind":13,"version":0,"stamp":"1980-01-02 03:04:05","data":"00"}]})",
         "procedure[0].stamp: must be a date"},
        {"other format", R"({"kvtlnkImage":2})",
         "kvtlnkImage: this kvtlnk reads image files of format 1"},
    };
    for (const BadImage& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.write("bad.json", c.json);
        const ProcessResult r = runCli({"show", file});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(has(r.err, file + ": " + c.message)) << r.err;
    }
    // A memory file the emulator saved (no format number, no decoded part) shows all the same.
    const std::string saved = dir.write(
        "saved.json",
        R"({"procedure":[{"kind":11,"name":"TASK_START","version":0,"stamp":"1998-06-15 12:30:05","data":"000050542d3100"},
                         {"kind":13,"name":"TASK_END","version":0,"stamp":"1998-06-15 12:30:05","data":"00"}]})");
    const ProcessResult r = runCli({"show", saved});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "\"PT-1\" at record 0, 0 steps")) << r.out;
    EXPECT_TRUE(has(r.out, "1998-06-15 12:30:05")) << r.out;
}

}  // namespace
