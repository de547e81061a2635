// The files the tool writes and what it says of them: every output refuses a file under its
// name unless --force, a backup never replaces one; an image file says who uploaded it on which
// bench, and archive add stores that; a store that cannot reach its archive says where the
// results are kept; the lab file's intervals and standards as the tool reports them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "cli_support.h"

namespace {

using nlohmann::json;

// A lab whose only calibrator was due long ago, with a bench and a technician of its own.
const char* const kLab = R"([lab]
name = "Northside"
technician = "A. Tester"
bench = "Bench 9"
[[standards]]
serial = "SN1"
certificate = "C-1"
calibrated = 2020-01-01
due = 2021-01-01
accuracy = { current = [0.02, 0.005] }
[intervals]
"PT-*" = "180d"
)";

// A field run of two instruments uploaded into an image file, and an archive holding it; no lab
// file but the test's.
class ToolFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* config = std::getenv("XDG_CONFIG_HOME")) userConfig = config;
        setenv("XDG_CONFIG_HOME", dir.path("config").c_str(), 1);
        lab = dir.write("lab.toml", kLab);
        image = fieldImage(dir, 1, stampOn(2024, 5, 2));
        archive = dir.path("records.db");
        ASSERT_EQ(tool({"archive", "add", image}).exitCode, 0);
    }
    void TearDown() override {
        if (userConfig) {
            setenv("XDG_CONFIG_HOME", userConfig->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    // The tool on the test's lab file and archive.
    ProcessResult tool(std::vector<std::string> args) {
        args.insert(args.begin(), {"-q", "--lab", lab, "--archive", archive});
        return runCli(args);
    }

    ScratchDir dir;
    std::string lab, image, archive;
    std::optional<std::string> userConfig;
};

TEST_F(ToolFiles, EveryOutputRefusesAFileUnderItsNameUnlessForced) {
    const std::string out = dir.path("out");
    const std::vector<std::vector<std::string>> writers = {
        {"--port", "sim", "upload", "--out", out},
        {"report", image, "--out", out},
        {"demo", "--out", out},
        {"archive", "export", "1", "--image", out},
        {"history", "PT-1", "--out", out},
        {"certificate", "PT-1", "-o", out},
    };
    for (const std::vector<std::string>& args : writers) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        dir.write("out", "kept");
        std::vector<std::string> forced = args;
        forced.insert(forced.begin(), "--force");
        const ProcessResult refused = tool(args);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')),
                  "kvtlnk: " + out + " exists: name another file, or add --force to replace it");
        EXPECT_EQ(contents(out), "kept");
        const ProcessResult replaced = tool(forced);
        EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
        EXPECT_NE(contents(out), "kept");
    }
}

TEST_F(ToolFiles, ADumpRefusesAnEarlierDumpAndABackupNeverReplacesAFile) {
    const std::string folder = dir.path("dump");
    ASSERT_EQ(tool({"dump", "--from", kExample, folder}).exitCode, 0);
    std::ofstream(folder + "/notes.txt") << "mine";
    const ProcessResult again = tool({"dump", "--from", kExample, folder});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_EQ(again.err, "kvtlnk: " + folder +
                             " holds the files of an earlier dump (prc.dir): name another "
                             "directory, or add --force to replace them\n");
    EXPECT_EQ(tool({"--force", "dump", "--from", kExample, folder}).exitCode, 0);
    EXPECT_EQ(contents(folder + "/notes.txt"), "mine");

    const std::string kept = dir.write("kept.json", "kept");
    const ProcessResult backup =
        tool({"--force", "--port", "sim", "download", "--backup", kept, kExample});
    EXPECT_EQ(backup.exitCode, 2);
    EXPECT_TRUE(has(backup.err, kept + " exists, and a backup never replaces a file"))
        << backup.err;
    EXPECT_EQ(contents(kept), "kept");
}

// The technician and bench of the upload, not of whoever adds the file, go into the archive;
// a file that does not say is stored with the adder's.
TEST_F(ToolFiles, AnImageFileSaysWhoUploadedItOnWhichBench) {
    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(
        runCli({"--port", emu.portPath(), "-q", "download", dir.write("t.json", fieldTests())})
            .exitCode,
        0);
    emu.runProcedures();
    const std::string uploaded = dir.path("uploaded.json");
    ASSERT_EQ(
        tool({"--port", emu.portPath(), "--technician", "T. One", "upload", "--out", uploaded})
            .exitCode,
        0);
    json file = json::parse(contents(uploaded));
    EXPECT_EQ(file["upload"]["bench"], "Bench 9");
    EXPECT_EQ(file["upload"]["technician"], "T. One");
    EXPECT_TRUE(file["upload"]["user"].is_string());

    const std::string elsewhere =
        dir.write("elsewhere.toml", "[lab]\nname = \"Office\"\nbench = \"Office\"\n");
    const std::string shared = dir.path("shared.db");
    file.erase("upload");
    const std::string older = dir.write("older.json", file.dump());
    for (const std::string& added : {uploaded, older}) {
        const ProcessResult r = runCli({"-q", "--lab", elsewhere, "--archive", shared,
                                        "--technician", "Q. Other", "archive", "add", added});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const json history = json::parse(
        runCli({"--json", "--lab", elsewhere, "--archive", shared, "history", "PT-1"}).out);
    ASSERT_EQ(history["calibrations"].size(), 1u);  // the older file's results are held already
    ASSERT_EQ(history["calibrations"][0]["uploads"].size(), 1u);
    EXPECT_EQ(history["calibrations"][0]["uploads"][0]["technician"], "T. One");
    EXPECT_EQ(history["calibrations"][0]["uploads"][0]["host"], "Bench 9");
    const std::string other = dir.path("other.db");
    ASSERT_EQ(runCli({"-q", "--lab", elsewhere, "--archive", other, "--technician", "Q. Other",
                      "archive", "add", older})
                  .exitCode,
              0);
    const json adder = json::parse(
        runCli({"--json", "--lab", elsewhere, "--archive", other, "history", "PT-1"}).out);
    EXPECT_EQ(adder["calibrations"][0]["uploads"][0]["technician"], "Q. Other");
    EXPECT_EQ(adder["calibrations"][0]["uploads"][0]["host"], "Office");

    for (const auto& [upload, field] :
         {std::pair(json{{"technician", 5}}, "upload.technician"),
          std::pair(json{{"bench", std::string(257, 'b')}}, "upload.bench"),
          std::pair(json("T. One"), "upload")}) {
        file["upload"] = upload;
        const ProcessResult r = runCli({"-q", "show", dir.write("bad.json", file.dump())});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(has(r.err, "bad.json: " + std::string(field) + ": must be")) << r.err;
    }
}

TEST_F(ToolFiles, AStoreThatCannotReachItsArchiveSaysWhereTheResultsAreKept) {
    const std::string unreachable = "postgresql:///lab?host=" + dir.path("no-server");
    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(
        runCli({"--port", emu.portPath(), "-q", "download", dir.write("t.json", fieldTests())})
            .exitCode,
        0);
    emu.runProcedures();
    const std::string kept = dir.path("kept.json");
    const ProcessResult r = runCli({"-q", "--lab", lab, "--archive", unreachable, "--port",
                                    emu.portPath(), "upload", "--store", "--out", kept});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(has(r.err, "\n  Is the server running locally")) << r.err;
    EXPECT_FALSE(has(r.err, "\\x09")) << r.err;
    EXPECT_TRUE(has(r.err, "\nthe results are kept in " + kept + ": kvtlnk archive add " + kept +
                               " stores them once the archive can be reached"))
        << r.err;
    const ProcessResult stored = tool({"archive", "add", kept});
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_TRUE(has(stored.out, "Stored 3 results of " + kept)) << stored.out;

    const ProcessResult noFile = runCli({"-q", "--lab", lab, "--archive", unreachable, "--port",
                                         emu.portPath(), "upload", "--store"});
    EXPECT_EQ(noFile.exitCode, 2);
    EXPECT_TRUE(has(noFile.err, "\nthe results are still in the calibrator on " + emu.portPath()))
        << noFile.err;
}

TEST_F(ToolFiles, WhatTheToolSaysOfTheLabAndTheArchive) {
    const ProcessResult check = tool({"lab", "check"});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_TRUE(has(check.out, lab + ": 1 warning: \"Northside\", 1 calibrator")) << check.out;
    EXPECT_TRUE(has(check.out, "\n  standards[0]: calibrator SN1 was due on 2021-01-01, "))
        << check.out;

    const ProcessResult list = tool({"archive", "list"});
    EXPECT_TRUE(has(list.out, "180 d (lab file)")) << list.out;
    EXPECT_TRUE(has(list.out, "365 d (default)")) << list.out;
    ASSERT_EQ(tool({"archive", "interval", "TT-2", "90d"}).exitCode, 0);
    const json due = json::parse(
        runCli({"--json", "--lab", lab, "--archive", archive, "due", "--within", "100y"}).out);
    ASSERT_EQ(due["instruments"].size(), 2u);
    for (const json& i : due["instruments"])
        EXPECT_EQ(i["intervalFrom"], i["tag"] == "PT-1" ? "lab file" : "archive");

    const ProcessResult show = tool({"show", kExample});
    EXPECT_TRUE(has(show.out, "strategy \"5 ↑↓\" at record 5, flag off")) << show.out;

    std::filesystem::create_directory(dir.path("certs"));
    const ProcessResult certificate = tool({"certificate", "PT-1", "-o", dir.path("certs/")});
    EXPECT_EQ(certificate.exitCode, 0) << certificate.err;
    EXPECT_TRUE(has(certificate.out, "Wrote " + dir.path("certs/"))) << certificate.out;
    EXPECT_FALSE(has(certificate.out, "//")) << certificate.out;
}

}  // namespace
