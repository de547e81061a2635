// Where the records archive is and what may stand there, through the tool: no output lands on
// the archive, its companion files, the lab file or an input; reading commands never make an
// archive and say where a missing one was named; a read-only archive can be read; an archive
// that would not outlast the command, or is not a file, is refused.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>
#include "calibrator.h"

#include "cli_support.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ArchivePlaces : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir.path("lab"));
        fs::create_directories(dir.path("config"));
        image = fieldImage(dir, 1, stampOn(2024, 2, 1));
        dir.write("lab.toml", "[lab]\nname = \"Bench\"\narchive = \"lab/records.db\"\n");
        ASSERT_EQ(runCli({"--archive", archive, "-q", "archive", "add", image}).exitCode, 0);
    }

    // The names a table of command lines uses.
    std::vector<std::pair<std::string, std::string>> names() const {
        return {{"@archive", archive},
                {"@image", image},
                {"@lab", dir.path("lab.toml")},
                {"@dir", dir.path("")},
                {"@env", "KVTLNK_ARCHIVE= XDG_CONFIG_HOME=" + dir.path("config")}};
    }

    json listed() const {
        return jsonOf(runCli({"--archive", archive, "--json", "archive", "list"}));
    }

    ScratchDir dir;
    const std::string archive = dir.path("lab/records.db");
    std::string image;
};

// Outputs named as the archive (by any path to it), its companions, the lab file or an input:
// refused before anything is written, everything kept as it was.
TEST_F(ArchivePlaces, NoOutputReplacesWhatTheCommandKeeps) {
    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(
        runCli({"--port", emu.portPath(), "-q", "download", dir.write("tests.json", fieldTests())})
            .exitCode,
        0);
    emu.runProcedures();
    ASSERT_EQ(link(archive.c_str(), dir.path("linked.db").c_str()), 0);
    const std::string keptArchive = contents(archive), keptLab = contents(dir.path("lab.toml")),
                      keptImage = contents(image);
    const json before = listed();
    ASSERT_EQ(before["instruments"].size(), 2u);
    const std::string refused = "kvtlnk: cannot write ";
    expectFirstLines(
        {
            {2, "--archive @archive history PT-1 --out @archive",
             refused + "@archive: it is the records archive"},
            {2, "--archive @archive archive export 1 --image @archive",
             refused + "@archive: it is the records archive"},
            {2, "--archive @archive --lab @lab certificate PT-1 -o @archive",
             refused + "@archive: it is the records archive"},
            {2, "--archive @archive --port @port upload --store --out @archive",
             refused + "@archive: it is the records archive"},
            {2, "--archive @dir/lab/../lab/records.db history PT-1 --out @archive",
             refused + "@archive: it is the records archive"},
            {2, "--archive @archive history PT-1 --out @dir/linked.db",
             refused + "@dir/linked.db: it is the records archive"},
            {2, "--archive @archive history PT-1 --out @archive-wal",
             refused + "@archive-wal: it is the records archive's write-ahead log"},
            {2, "--archive @archive history PT-1 --out @archive-shm",
             refused + "@archive-shm: it is the records archive's shared memory"},
            {2, "--archive @archive archive export 1 --image @archive-journal",
             refused + "@archive-journal: it is the records archive's journal"},
            {2, "--lab @lab history PT-1 --out @lab", refused + "@lab: it is the lab file"},
            {2, "cd=@dir @env --lab lab.toml archive export 1 --image ./lab/records.db",
             refused + "./lab/records.db: it is the records archive"},
            // Even where --force lets an output replace a file, an input of the command is kept.
            {2, "--force report -o @image @image",
             refused + "@image: it is an input of this command"},
        },
        [&] {
            auto n = names();
            n.emplace_back("@port", emu.portPath());
            return n;
        }(),
        dir);
    EXPECT_EQ(contents(archive), keptArchive);
    EXPECT_EQ(contents(dir.path("lab.toml")), keptLab);
    EXPECT_EQ(contents(image), keptImage);
    EXPECT_EQ(listed(), before);
    for (const char* companion : {"-journal"})
        EXPECT_FALSE(fs::exists(archive + companion)) << companion;
    EXPECT_EQ(emu.memory(kvttools::Memory::Results).size(), 6u);  // the upload never began
}

// Reading commands refuse an archive that is not there, naming where it was named; storing
// commands make it, and say so once. A relative archive of the lab file is beside the lab file.
TEST_F(ArchivePlaces, OnlyStoringCommandsMakeAnArchive) {
    dir.write("elsewhere.toml", "[lab]\nname = \"Bench\"\narchive = \"new/records.db\"\n");
    const std::string missing = "kvtlnk: there is no archive at @dir/none/records.db (given by ";
    expectFirstLines(
        {
            {2, "@env --archive @dir/none/records.db due", missing + "--archive)"},
            {2, "@env KVTLNK_ARCHIVE=@dir/none/records.db archive list",
             missing + "KVTLNK_ARCHIVE)"},
            {2, "@env --archive @dir/none/records.db history PT-1", missing + "--archive)"},
            {2, "@env --archive @dir/none/records.db archive interval PT-1 30d",
             missing + "--archive)"},
            {2, "@env --archive @dir/none/records.db --lab @lab certificate PT-1",
             missing + "--archive)"},
            {2, "@env --archive @dir/none/records.db archive export 1 --image @dir/out.json",
             missing + "--archive)"},
            {2, "cd=/ @env --lab @elsewhere due",
             "kvtlnk: there is no archive at @new (given by the lab file @elsewhere)"},
            {2, "@env XDG_DATA_HOME=@dir/data due",
             "kvtlnk: there is no archive at @dir/data/kvtlnk/records.db (the default place)"},
            // The lab file's relative archive, from anywhere.
            {0, "cd=/ @env --lab @lab archive list", "2 instruments in the archive @archive"},
            {0, "cd=/ @env --lab @elsewhere archive add @image", "Created the archive @new"},
            {0, "cd=/ @env --lab @elsewhere archive add @image",
             "The archive @new holds every result"},
            {0, "@env --archive @dir/made/records.db archive add @empty",
             "Created the archive @dir/made/records.db"},
        },
        [&] {
            auto n = names();
            n.insert(n.begin(), {{"@empty", dir.write("empty.json", kNoResults)},
                                 {"@elsewhere", dir.path("elsewhere.toml")},
                                 {"@new", dir.path("new/records.db")}});
            return n;
        }(),
        dir);
    for (const char* never : {"none", "data", "out.json"})
        EXPECT_FALSE(fs::exists(dir.path(never))) << never;
    EXPECT_FALSE(fs::exists("/new/records.db"));
    const ProcessResult r =
        runCli({"--archive", dir.path("json/records.db"), "--json", "archive", "add", image});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(jsonOf(r)["created"], true);
    EXPECT_EQ(jsonOf(r)["files"][0]["added"], 3);
}

// A read-only archive in a read-only folder is read as it is; storing into it says why not.
TEST_F(ArchivePlaces, ReadOnlyArchiveIsReadAndRefusesToStore) {
    const std::string ro = dir.path("ro/records.db");
    fs::create_directories(dir.path("ro"));
    ASSERT_EQ(runCli({"--archive", ro, "-q", "archive", "add", image}).exitCode, 0);
    chmod(dir.path("").c_str(), 0755);
    chmod(dir.path("ro").c_str(), 0555);
    chmod(ro.c_str(), 0444);
    chmod(image.c_str(), 0644);
    const std::string kept = contents(ro);
    const auto asUser = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {KVTLNK_CLI_PATH, "-q", "--archive", ro});
        return runProcess(asOrdinaryUser(args));
    };
    ProcessResult r = asUser({"--json", "archive", "list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(jsonOf(r)["instruments"].size(), 2u) << r.out;
    r = asUser({"history", "PT-1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "PT-1: 1 calibration,")) << r.out;
    EXPECT_EQ(asUser({"due"}).exitCode, 0);
    for (const std::vector<std::string>& store :
         {std::vector<std::string>{"archive", "add", image},
          std::vector<std::string>{"archive", "interval", "PT-1", "30d"}}) {
        r = asUser(store);
        EXPECT_EQ(r.exitCode, 2) << store[1];
        EXPECT_TRUE(has(r.err, "kvtlnk: cannot write to the archive " + ro)) << r.err;
        EXPECT_TRUE(has(r.err, "read-only")) << r.err;
    }
    chmod(dir.path("ro").c_str(), 0755);
    EXPECT_EQ(contents(ro), kept);
    EXPECT_FALSE(fs::exists(ro + "-journal"));
}

// Archives that last no longer than the command, and names of things that are not files.
TEST_F(ArchivePlaces, ArchivesThatCannotKeepAnythingAreRefused) {
    ASSERT_EQ(mkfifo(dir.path("pipe").c_str(), 0600), 0);
    const bool devNullJournal = fs::exists("/dev/null-journal");
    const std::string memory = "would last only as long as this command: name an archive file";
    expectFirstLines(
        {
            {2, "cd=@dir --archive :memory: archive add @image",
             "kvtlnk: the archive :memory: " + memory},
            {2, "cd=@dir --archive file:records.db?mode=memory archive add @image",
             "kvtlnk: the archive file:records.db?mode=memory " + memory},
            {2, "cd=@dir --archive file::memory: archive list",
             "kvtlnk: the archive file::memory: " + memory},
            {2, "--archive file:@archive archive list",
             "kvtlnk: the archive file:@archive is a URI: name the archive file by its path"},
            {2, "--archive /dev/null archive add @image",
             "kvtlnk: the archive /dev/null is a character device, not a file"},
            {2, "--archive @dir/pipe archive list",
             "kvtlnk: the archive @dir/pipe is a pipe, not a file"},
            {2, "--archive @dir/lab archive add @image",
             "kvtlnk: the archive @dir/lab is a directory, not a file"},
        },
        names(), dir);
    EXPECT_EQ(fs::exists("/dev/null-journal"), devNullJournal);
    for (const auto& entry : fs::directory_iterator(dir.path(""))) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "lab" || name == "config" || name == "pipe" || name == "lab.toml" ||
                    name == "tests.json" || name == image.substr(image.rfind('/') + 1))
            << name;
    }
}

}  // namespace
