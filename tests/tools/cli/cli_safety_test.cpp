// What keeps a technician's results and instruments safe: no emulator unless asked for (not even
// to read a file's records), backups that never replace a file, procedures too big for the
// calibrator refused before anything is sent, a stopped download that says how to retry, and an
// unplugged adapter told as such.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>

#include "calibrator.h"
#include "cli_support.h"
#include "common/image_file.h"

namespace {

namespace fs = std::filesystem;
using kvttools::Memory;

// Instruments that stay on between invocations: one back from the field, one empty, and one
// whose memories hold 2,000 bytes (less than the example procedure's 2,034).
class SafeDefaults : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("KVTLNK_PORT");
        // No lab file of the user's: only those the tests name.
        if (const char* config = std::getenv("XDG_CONFIG_HOME")) userConfig = config;
        setenv("XDG_CONFIG_HOME", dir.path("config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(
            kvttools::loadMemoryFile(dir.write("field.json", kFieldMemories), &field, &error))
            << error;
        held.replaceMemory(Memory::Procedure, field.procedure);
        held.replaceMemory(Memory::Results, field.results);
        small.faults().replaceLines("ed", {"K27,SN270002,HW3,B1.00,EN,2024-01-15,100,12,2000"});
        for (k27emu::Calibrator* c : {&held, &empty, &small})
            ASSERT_TRUE(c->start());
        dir.write("kept.json", "kept");
        dir.write("lab.toml", "[lab]\nname = \"Bench\"\nport = \"" + empty.portPath() + "\"\n");
        dir.write("plain.txt", "not a port");
    }

    void TearDown() override {
        if (userConfig) {
            setenv("XDG_CONFIG_HOME", userConfig->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", held.portPath(), "-q"});
        return runCli(args);
    }

    kvttools::MemoryFile field;
    k27emu::Calibrator held, empty, small;
    ScratchDir dir;
    std::optional<std::string> userConfig;
};

TEST_F(SafeDefaults, EachRefusalSaysWhyInItsFirstLine) {
    const std::string noPort =
        "kvtlnk: no calibrator port given: add --port PORT, or --port sim for the built-in "
        "emulator";
    const std::string emptyImage = R"(@file={"procedure":[],"results":[]})";
    expectFirstLines(
        {
            // The emulator only when asked for; else --port, KVTLNK_PORT, the lab file.
            {2, "identify", noPort},
            {2, "download " + kExample, noPort},
            {2, "results", noPort},
            {2, "--sim-model X identify",
             "kvtlnk: --sim-model: is for the built-in emulator: add --port sim"},
            {0, "--port sim identify", "Calibrator on sim (/dev/pts/"},
            {0, "KVTLNK_PORT=sim identify", "Calibrator on sim (/dev/pts/"},
            {0, "KVTLNK_PORT=@empty identify", "Calibrator on @empty"},
            {0, "KVTLNK_PORT=@held --port @empty identify", "Calibrator on @empty"},
            {0, "--lab @lab identify", "Calibrator on @empty"},
            {0, "KVTLNK_PORT=@held --lab @lab identify", "Calibrator on @held"},
            {0, "--port @held --lab @nolab identify", "Calibrator on @held"},
            {2, "report " + emptyImage,
             "kvtlnk: @file holds no calibration result, so there is no report to write"},
            {1, "results --check " + emptyImage,
             "kvtlnk: results --check: @file holds no calibration result"},
            // A backup never replaces a file.
            {2, "--port @held download --backup @kept " + kExample,
             "kvtlnk: @kept exists, and a backup never replaces a file: name a new file, or a "
             "directory to make one in (nothing was sent)"},
            {2, "--port @held clear --backup @kept", "kvtlnk: @kept exists"},
            // Too big for the calibrator, said before anything is sent.
            {2, "--port @small download " + kExample,
             "kvtlnk: " + kExample +
                 ": the procedure takes 2,034 bytes of the calibrator's procedure memory, which "
                 "holds 2,000 bytes"},
            // The precise reason a port cannot be opened.
            {1, "cd=@dir --port plain.txt identify",
             "kvtlnk: cannot open plain.txt: is a file, not a serial port"},
            {1, "--port COM99 identify",
             "kvtlnk: cannot open COM99 (/dev/ttyS98 on Linux): no such device"},
        },
        {{"@held", held.portPath()},
         {"@empty", empty.portPath()},
         {"@small", small.portPath()},
         {"@kept", dir.path("kept.json")},
         {"@nolab", dir.path("kept.json")},  // not a lab file, and not read: --port is given
         {"@lab", dir.path("lab.toml")},
         {"@dir", dir.path("")}},
        dir);
    EXPECT_EQ(contents(dir.path("kept.json")), "kept");
    EXPECT_EQ(held.memory(Memory::Procedure), field.procedure);
    EXPECT_EQ(held.memory(Memory::Results), field.results);
    EXPECT_TRUE(small.memory(Memory::Procedure).empty());
    for (const std::string& command : small.commands()) {
        for (const char* changing : {"ds", "mc", "ma"})
            EXPECT_NE(command.rfind(changing, 0), 0u) << command;
    }
}

// The backups of a directory are named by the calibrator's serial number and the time; a
// second one of the same second gets a name of its own.
TEST_F(SafeDefaults, BackupsInADirectoryEachGetTheirOwnFile) {
    fs::create_directory(dir.path("backups"));
    for (int i = 0; i < 2; ++i) {
        const ProcessResult r = cli({"clear", "--backup", dir.path("backups")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(has(r.out, "Saved both memories to " + dir.path("backups/SN270001-"))) << r.out;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path("backups"))) {
        names.push_back(entry.path().filename().string());
        kvttools::MemoryFile saved;
        std::string error;
        ASSERT_TRUE(kvttools::loadMemoryFile(entry.path().string(), &saved, &error)) << error;
        EXPECT_EQ(saved.results, field.results);
    }
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& name : names) {
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(SN270001-\d{8}-\d{6}(-2)?\.json)")))
            << name;
    }
}

// The calibrator stops answering in the middle of a download, after the third item's
// announcement, so that whatever the machine's load the download is still under way.
void stopAtTheThirdItem(k27emu::Calibrator& emu, std::atomic<int>& announced) {
    emu.setCommandObserver([&emu, &announced](const k27emu::LoggedCommand& c) {
        if (c.text.rfind("ma p", 0) == 0 && ++announced == 3) emu.faults().goSilent();
    });
}

// Ctrl-C in the middle of a download, the results saved first: the message gives the command
// that works, and it does.
TEST(CliRetry, AnInterruptedDownloadSaysTheCommandThatWorks) {
    ScratchDir dir;
    kvttools::MemoryFile field;
    std::string error;
    ASSERT_TRUE(kvttools::loadMemoryFile(dir.write("field.json", kFieldMemories), &field, &error));
    k27emu::Calibrator emu;
    emu.replaceMemory(Memory::Results, field.results);
    ASSERT_TRUE(emu.start());
    std::atomic<int> announced{0};
    stopAtTheThirdItem(emu, announced);
    const std::string backup = dir.path("before.json");
    ChildProcess download(KVTLNK_CLI_PATH,
                          {"--port", emu.portPath(), "download", "--backup", backup, kExample});
    ASSERT_TRUE(download.readUntil([&](const ProcessResult&) { return announced >= 3; }));
    const ProcessResult r = download.finish(SIGINT);
    EXPECT_EQ(r.exitCode, 130);
    const std::string retry =
        "kvtlnk --port " + emu.portPath() + " download --discard-results " + kExample;
    EXPECT_TRUE(has(r.err,
                    "kvtlnk: interrupted: stopped after 2 of 31 items: the procedure "
                    "memory is partial; download again: " +
                        retry + " (the results are saved in " + backup + ")\n"))
        << r.err;
    kvttools::MemoryFile saved;
    ASSERT_TRUE(kvttools::loadMemoryFile(backup, &saved, &error)) << error;
    EXPECT_EQ(saved.results, field.results);

    emu.faults().clear();
    std::vector<std::string> words;
    std::istringstream in(retry);
    for (std::string word; in >> word;)
        words.push_back(word);
    const ProcessResult again = runProcess(KVTLNK_CLI_PATH, {words.begin() + 1, words.end()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(emu.memory(Memory::Procedure).size(), 31u);
    EXPECT_TRUE(emu.memory(Memory::Results).empty());
}

// The calibrator's adapter pulled out in the middle of a download (the emulator and its pty
// gone): the tool says so, and only that.
TEST(CliUnplugged, APortThatIsGoneIsToldAsUnplugged) {
    auto emu = std::make_unique<k27emu::Calibrator>();
    ASSERT_TRUE(emu->start());
    const std::string port = emu->portPath();
    std::atomic<int> announced{0};
    stopAtTheThirdItem(*emu, announced);
    ChildProcess download(KVTLNK_CLI_PATH,
                          {"--port", port, "-q", "--timeout", "200", "download", kExample});
    ASSERT_TRUE(download.readUntil([&](const ProcessResult&) { return announced >= 3; }));
    emu.reset();
    const ProcessResult r = download.finish();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kvtlnk: download stopped after 2 of 31 items: " + port +
                         " is gone: was the cable or the adapter unplugged? Plug it in again (the "
                         "calibrator holds a partial procedure memory: download again: kvtlnk "
                         "--port " +
                         port + " download " + kExample + ")\n");
}

// The commands that read records from a file or the archive give them to the library as bytes:
// they open no session (so start no emulator) and write no scratch file, whatever the
// temporary folder is; what they print is the same as with one.
TEST(CliNoEmulator, FilesAndArchivedEventsAreReadWithoutOne) {
    ScratchDir dir;
    const std::string image = fieldImage(dir, 1, stampOn(2024, 6, 3));
    const std::string archive = dir.path("records.db");
    const std::vector<std::vector<std::string>> commands = {
        {"show", image},
        {"results", image},
        {"report", image, "--out", dir.path("report.html")},
        {"--archive", archive, "archive", "add", image},
        {"--archive", archive, "archive", "export", "1", "--image", dir.path("event.json")},
        {"show", dir.path("event.json")},
    };
    for (const std::vector<std::string>& args : commands) {
        std::string line;
        for (const std::string& a : args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ProcessResult usual = runCli(args);
        // The second run writes its files again.
        std::vector<std::string> command = {"/usr/bin/env",
                                            "KVTLNK_DEBUG=3",
                                            "TMPDIR=" + dir.path("report.html") + "/none",
                                            KVTLNK_CLI_PATH,
                                            "-q",
                                            "--force"};
        command.insert(command.end(), args.begin(), args.end());
        const ProcessResult traced = runProcess(command);
        EXPECT_EQ(traced.exitCode, 0) << traced.err;
        EXPECT_TRUE(has(traced.err, "MEMstats(")) << "the trace of the library's calls is on";
        EXPECT_FALSE(has(traced.err, "KVTopen(")) << traced.err.substr(0, 2000);
        if (args[0] == "show") {
            EXPECT_EQ(traced.out, usual.out);
        }
    }
}

}  // namespace
