// The tool as a process against the emulator: its own in-process one (--port sim), or one
// this test serves on a pty, which keeps its memories from one invocation to the next.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "calibrator.h"
#include "cli_support.h"
#include "common/image_file.h"

namespace {

using nlohmann::json;

// Each command's exit code and a part of its output (the trace of -v goes to standard error);
// the commands that need a calibrator run against the built-in emulator.
TEST(CliSim, EachCommandsOutputAndExitCode) {
    ScratchDir dir;
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } cases[] = {
        {"overview", {"--help"}, 0, "Exit status: 0 done"},
        {"a command's help", {"download", "--help"}, 0, "--discard-results"},
        {"identify", {"--port", "sim", "identify"}, 0, "Calibrator on sim (/dev/pts/"},
        {"memstats", {"--port", "sim", "memstats"}, 0, "free             2,097,152 bytes"},
        {"clear", {"--port", "sim", "clear"}, 0, "Cleared the procedure memory"},
        {"download", {"--port", "sim", "download", kExample}, 0, "Sent 31 items"},
        {"upload of an empty calibrator",
         {"--port", "sim", "upload"},
         0,
         "Procedure memory: empty"},
        {"ports", {"ports"}, 0, ""},
        {"trace of each exchange",
         {"--port", "sim", "-v", "identify"},
         0,
         " ms  < ORVAN K27,V1.2.0,SN270001"},
        {"demo",
         {"-q", "demo", "--out", dir.path("demo.html")},
         0,
         "Wrote the calibration report to "},
        {"dump of a description",
         {"dump", dir.path("d"), "--from", kExample},
         0,
         "31 procedure record files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(has(r.out + r.err, c.out)) << r.out;
    }
    EXPECT_EQ(std::filesystem::file_size(dir.path("d/prc0.nd")), 14u);
}

TEST(CliSim, JsonOutputOfEachCommand) {
    ScratchDir dir;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* pointer;
        json value;
    } cases[] = {
        {{"--port", "sim", "identify"}, 0, "/model", "ORVAN K27"},
        {{"--port", "sim", "identify"}, 0, "/serialNumber", "SN270001"},
        {{"--port", "sim", "identify"}, 0, "/memoryCapacity", 1048576},
        {{"--port", "sim", "memstats"}, 0, "/free", 2097152},
        {{"--port", "sim", "memstats"}, 0, "/used", 0},
        {{"--port", "sim", "-q", "download", kExample}, 0, "/items", 31},
        {{"-q", "demo", "--out", dir.path("demo.html")}, 0, "/roundTrip/same", true},
        {{"-q", "demo", "--out", dir.path("demo2.html")}, 0, "/verdict", "pass"},
        {{"--port", "/dev/kvtlnk-none", "identify"}, 1, "/error/resultCode", 2017},
        {{"--port", "sim", "--sim-model", "K2X", "identify"}, 1, "/error/resultCode", 2005},
        {{"fly"}, 2, "/error/exitCode", 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "--json");
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.pointer;
        EXPECT_EQ(jsonOf(r).value(json::json_pointer(c.pointer), json()), c.value) << c.pointer;
    }
}

// Emulators served by the test, as instruments that stay on between invocations: one back
// from the field, one whose port another program holds (and only its group may open), one
// switched off.
class CliInstrument : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(
            kvttools::loadMemoryFile(dir.write("field.json", kFieldMemories), &field, &error))
            << error;
        emu.replaceMemory(kvttools::Memory::Procedure, field.procedure);
        emu.replaceMemory(kvttools::Memory::Results, field.results);
        silent.faults().goSilent();
        for (k27emu::Calibrator* c : {&emu, &locked, &silent})
            ASSERT_TRUE(c->start());
        if (const group* g = getgrnam("dialout")) chown(locked.portPath().c_str(), 0, g->gr_gid);
        ASSERT_EQ(chmod(locked.portPath().c_str(), 0660), 0);
        holder = open(locked.portPath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    void TearDown() override { close(holder); }

    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", emu.portPath(), "--timeout", "100", "-q"});
        return runCli(args);
    }

    kvttools::MemoryFile field;
    k27emu::Calibrator emu, locked, silent;
    int holder = -1;
    ScratchDir dir;
};

// The first line of standard error (of standard output when the exit status is 0) of each
// failure, and its exit status (expectFirstLines). A command line names the emulators @port,
// @locked and @silent, and a scratch directory @dir.
TEST_F(CliInstrument, EachFailureSaysWhyInItsFirstLine) {
    ASSERT_EQ(mkfifo(dir.path("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.write("victim", "kept"), dir.path("link"));
    dir.write("big", "");
    std::filesystem::resize_file(dir.path("big"), (64 << 20) + 1);
    expectFirstLines(
        {
            {2, "", "kvtlnk: name a command: identify, memstats, download"},
            {2, "fly", "kvtlnk: unknown command \"fly\": identify"},
            {2, "download", "kvtlnk: FILE is required"},
            {2, "--timeout 0 identify", "kvtlnk: --timeout: "},
            {2, "--port '' identify", "kvtlnk: --port: the port name is empty"},
            {2, "--port @port --sim-model X identify",
             "kvtlnk: --sim-model: is for the built-in emulator, not --port @port"},
            {2, "download /nonexistent/d.json",
             "kvtlnk: cannot read /nonexistent/d.json: No such file or directory"},
            {2, "show @dir", "kvtlnk: cannot read @dir: is a directory, not a file"},
            {2, "show /dev/zero",
             "kvtlnk: cannot read /dev/zero: is a character device, not a regular file (give - to "
             "read standard input)"},
            {2, "results /dev/zero", "kvtlnk: cannot read /dev/zero: is a character device"},
            {2, "report /dev/zero", "kvtlnk: cannot read /dev/zero: is a character device"},
            {2, "download /dev/zero", "kvtlnk: cannot read /dev/zero: is a character device"},
            {2, "kvtsim --image /dev/zero", "kvtsim: /dev/zero: is a character device"},
            {2, "show @fifo", "kvtlnk: cannot read @fifo: is a pipe, not a regular file"},
            {2, "download @big", "kvtlnk: cannot read @big: is larger than 64 MiB"},
            {2, R"(download @file={"strategies":[{"name":"A","points":[0]}],"strategies":[]})",
             "kvtlnk: @file: strategies: is given twice in one object; give each key once"},
            {2, R"(show @file={"procedure":[],"results":[],"procedure":[]})",
             "kvtlnk: @file: procedure: is given twice in one object"},
            {2, "--port @port upload --out /dev/full",
             "kvtlnk: cannot write /dev/full: No space left on device"},
            {2, "--port @port upload --out @link",
             "kvtlnk: cannot write @link: is a symbolic link; name the file itself"},
            {2, "--port @port upload --out @fifo",
             "kvtlnk: cannot write @fifo: is a pipe that no program reads"},
            {2, "--port @port download @file={}",
             "kvtlnk: @file: holds no strategies, prompt definitions or tasks"},
            {2, "--port @port download " + kExample,
             "kvtlnk: the calibrator on @port holds results (2 records in its results memory), "
             "which the download erases: add --backup FILE"},
            {2, "--port @port clear",
             "kvtlnk: the calibrator on @port holds results (2 records in its results memory), "
             "which refer to the strategies"},
            {2, "--port @port upload --out /nonexistent/u.json",
             "kvtlnk: cannot write /nonexistent/u.json: No such file or directory"},
            {2, "--port @port upload --out @dir",
             "kvtlnk: cannot write @dir: is a directory; name a file"},
            {2, "--port @port download --backup /nonexistent/b.json " + kExample,
             "kvtlnk: cannot write /nonexistent/b.json: No such file or directory"},
            {1, "--port /dev/kvtlnk-none identify",
             "kvtlnk: cannot open /dev/kvtlnk-none: no such device; is the adapter plugged in?"},
            {1, "--port @dir identify",
             "kvtlnk: cannot open @dir: is a directory, not a serial port"},
            {1, "--port " + kExample + " identify",
             "kvtlnk: cannot open " + kExample + ": is a file, not a serial port"},
            {1, "--port /dev/null identify",
             "kvtlnk: cannot open /dev/null: is not a terminal, so not a serial port"},
            {1, "--port @locked identify", "kvtlnk: cannot open @locked: busy: another program"},
            {1, "nobody --port @locked identify",
             "kvtlnk: cannot open @locked: permission denied; add your user to the \"dialout\" "
             "group and log in again"},
            {1, "--port @silent --attempts 2 identify",
             "kvtlnk: opening @silent: 2019: the calibrator did not answer: check the cable"},
            {2,
             "show "
             R"(@file={"procedure":[{"kind":13,"version":0,"stamp":"2024-01-02 03:04:05","data":"0"}]})",
             "kvtlnk: @file: procedure[0].data: must be hexadecimal byte pairs"},
            {2, R"(show @file={"results":[{"kind":70000}]})",
             "kvtlnk: @file: results[0].kind: must be a whole number from 0 to 65535"},
            {2, R"(show @file={"kvtlnkImage":2})",
             "kvtlnk: @file: kvtlnkImage: this kvtlnk reads image files of format 1, not 2"},
            {0, "--version", "kvtlnk 1.1.0, library 1.1"},
            {2, "--port /dev/ttyUSB0 demo",
             "kvtlnk: the demo replaces the procedure memory of the calibrator on /dev/ttyUSB0"},
            {2, R"(kvtsim --image @file={"tasks":[]})",
             "kvtsim: @file: (top level): holds no \"procedure\" or \"results\" list"},
            {2, "kvtsim --image @file={", "kvtsim: @file: (file): not valid JSON: "},
            {2, "kvtsim --bogus", "kvtsim: The following argument was not expected: --bogus"},
            {0, "kvtsim --version", "kvtsim 1.1.0"},
        },
        {{"@port", emu.portPath()},
         {"@locked", locked.portPath()},
         {"@silent", silent.portPath()},
         {"@dir", dir.path("")},
         {"@fifo", dir.path("fifo")},
         {"@link", dir.path("link")},
         {"@big", dir.path("big")}},
        dir);
    EXPECT_EQ(contents(dir.path("victim")), "kept");
    // Nothing that was refused reached the calibrator's memories.
    EXPECT_EQ(emu.memory(kvttools::Memory::Procedure), field.procedure);
    EXPECT_EQ(emu.memory(kvttools::Memory::Results), field.results);
}

TEST_F(CliInstrument, ResultsAreBackedUpBeforeTheyAreLost) {
    ProcessResult r = cli({"clear", "--discard-results"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string backup = dir.path("backup.json");
    r = cli({"download", "--backup", backup, kExample});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Saved both memories to " + backup)) << r.out;
    kvttools::MemoryFile saved;
    std::string error;
    ASSERT_TRUE(kvttools::loadMemoryFile(backup, &saved, &error)) << error;
    EXPECT_TRUE(saved.procedure.empty());  // cleared
    EXPECT_EQ(saved.results, field.results);
    EXPECT_TRUE(emu.memory(kvttools::Memory::Results).empty());
    EXPECT_EQ(emu.memory(kvttools::Memory::Procedure).size(), 31u);
}

// Stamps a calibrator may report that no calendar has (a month 13, the year 2200) are kept in
// the backup as they came, and the backup reads back.
TEST_F(CliInstrument, ABackupKeepsEveryStampAsItCame) {
    std::vector<kvttools::MemoryRecord> results = field.results;
    results[0].stamp = {0, 0, 99, 0, 0, 13, 208};
    results[1].stamp = {255, 255, 255, 0, 255, 255, 255};
    emu.replaceMemory(kvttools::Memory::Results, results);
    const std::string backup = dir.path("backup.json");
    const ProcessResult r = cli({"clear", "--backup", backup});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json shown = jsonOf(runCli({"--json", "show", backup}));
    ASSERT_EQ(shown["results"].size(), 2u);
    EXPECT_EQ(shown["results"][0]["stamp"], "2200-13-00 99:00:00");
    EXPECT_EQ(shown["results"][1]["stamp"], "2247-255-255 255:255:255");
}

// A dump that cannot write all its files says how many it wrote and fails.
TEST_F(CliInstrument, ADumpCutShortSaysWhatItWrote) {
    std::filesystem::create_directories(dir.path("d/prc2.nd"));
    const ProcessResult r = runCli({"-q", "dump", dir.path("d"), "--from", kExample});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "kvtlnk: dump: wrote 4 of the 33 files of the image of " + kExample + " to " +
                         dir.path("d") + ": prc2.nd and 28 more could not be written\n");
    EXPECT_EQ(r.out, "");
}

// "-" reads a description or an image file from standard input.
TEST_F(CliInstrument, StandardInputIsAnInput) {
    const ProcessResult r =
        runProcess({"/bin/sh", "-c", std::string(KVTLNK_CLI_PATH) + " show - < " + kExample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Procedure memory: 31 records")) << r.out;
}

TEST_F(CliInstrument, DownloadThenUploadRoundTripsThroughFiles) {
    ASSERT_EQ(cli({"download", "--discard-results", kExample}).exitCode, 0);
    const std::string image = dir.path("image.json");
    ASSERT_EQ(cli({"upload", "--out", image}).exitCode, 0);

    // The image file shown, against what the description builds in the library.
    const json back = jsonOf(runCli({"--json", "show", image}));
    const json built = jsonOf(runCli({"--json", "show", kExample}));
    ASSERT_EQ(back["procedure"].size(), 31u);
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
    for (const char* part : {"Calibrator: ORVAN K27", "Procedure memory: 31 records",
                             "Results memory: empty", "110% check", "\"TT-204 temperature\"",
                             "connect TC", "sources   tc tc_k, scale 0 to 400 °C"}) {
        EXPECT_TRUE(has(shown.out, part)) << part << '\n' << shown.out;
    }
}

TEST_F(CliInstrument, AStoppedDownloadSaysWhatIsLeft) {
    // The calibrator refuses the sixth record's announcement.
    std::atomic<int> announced{0};
    emu.setCommandObserver([&](const k27emu::LoggedCommand& c) {
        if (c.text.rfind("ma p", 0) == 0 && ++announced == 5) emu.faults().refuse("ma p");
    });
    const ProcessResult r = cli({"download", "--discard-results", kExample});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "kvtlnk: download stopped after 5 of 31 items: the calibrator refused item 6 "
              "(2018): its procedure memory is full (it holds a partial procedure memory: "
              "make the procedure smaller, then download again: kvtlnk --port " +
                  emu.portPath() + " download --discard-results " + kExample + ")\n");
}

// Ctrl-C in the middle of a download at the instrument's line speed: the tool closes the
// session, says what the calibrator holds, and any user may open the port after it.
TEST(CliInterrupt, CtrlCLeavesThePortFreeAndSaysWhatIsLeft) {
    k27emu::CalibratorOptions options;
    options.pacingBaud = 9600;
    k27emu::Calibrator emu(options);
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(chmod(emu.portPath().c_str(), 0666), 0);
    std::atomic<int> announced{0};
    emu.setCommandObserver([&](const k27emu::LoggedCommand& c) {
        if (c.text.rfind("ma p", 0) == 0) ++announced;
    });
    ChildProcess download(KVTLNK_CLI_PATH, {"--port", emu.portPath(), "download", kExample});
    ASSERT_TRUE(download.readUntil([&](const ProcessResult&) { return announced >= 3; }));
    const ProcessResult r = download.finish(SIGINT);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_TRUE(has(r.err, "kvtlnk: interrupted: stopped after ")) << r.err;
    EXPECT_TRUE(has(r.err,
                    " of 31 items: the procedure memory is partial; download again: kvtlnk "
                    "--port " +
                        emu.portPath() + " download " + kExample + "\n"))
        << r.err;
    const ProcessResult after =
        runProcess(asOrdinaryUser({KVTLNK_CLI_PATH, "--port", emu.portPath(), "identify"}));
    EXPECT_EQ(after.exitCode, 0) << after.err;
}

}  // namespace
