// What a resident emulator reads and writes: its clock options, its state file (untrusted, taken
// whole or not at all) and the registry that tells the tool where it serves.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "emu_clock.h"
#include "registry.h"
#include "state_file.h"

namespace k27emu {
namespace {

class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtemu-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }

  private:
    std::string dir_;
};

TEST(EmulatorClock, DatesAndSpansItTakes) {
    const struct {
        const char* text;
        bool ok;
        const char* stamp;  // local time, as the stamps read
    } clocks[] = {
        {"2027-01-15T09:00", true, "2027-01-15 09:00:00"},
        {"2027-01-15 09:00:30", true, "2027-01-15 09:00:30"},
        {"2028-02-29T23:59", true, "2028-02-29 23:59:00"},
        {"2027-02-29T09:00", false, ""},  // no such day
        {"2027-04-31T09:00", false, ""},
        {"2027-01-15T24:00", false, ""},
        {"1991-12-31T23:59", false, ""},  // before the stamps' first year
        {"2092-01-01T00:00", false, ""},
        {"2027-01-15", false, ""},
        {"15.01.2027 09:00", false, ""},
        {"", false, ""},
    };
    for (const auto& c : clocks) {
        SCOPED_TRACE(c.text);
        int64_t seconds = 0;
        std::string error;
        ASSERT_EQ(parseClock(c.text, &seconds, &error), c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(kvttools::formatStamp(stampAt(seconds)), c.stamp);
        } else {
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
        }
    }

    const struct {
        const char* text;
        bool ok;
        int64_t seconds;
    } spans[] = {
        {"30d", true, 30 * 86400}, {"-2h", true, -7200}, {"+90min", true, 5400}, {"45s", true, 45},
        {"2w", true, 14 * 86400},  {"0d", true, 0},      {"30", false, 0},       {"30 d", false, 0},
        {"1.5d", false, 0},        {"30m", false, 0},  // minutes or months: neither is taken
        {"999999999w", false, 0},  {"d", false, 0},
    };
    for (const auto& s : spans) {
        SCOPED_TRACE(s.text);
        int64_t seconds = 0;
        std::string error;
        ASSERT_EQ(parseClockOffset(s.text, &seconds, &error), s.ok) << error;
        if (s.ok) {
            EXPECT_EQ(seconds, s.seconds);
        }
    }
    EXPECT_EQ(formatOffset(30 * 86400 + 3723), "+30d 01:02:03");
    EXPECT_EQ(formatOffset(-90), "-0d 00:01:30");
}

EmulatorState sampleState() {
    EmulatorState s;
    s.seed = 42;
    s.clockOffsetSeconds = 30 * 86400;
    s.inServiceSince = 1800000000;
    s.memories.procedure.resize(2);
    s.memories.procedure[1].kind = 14;
    s.memories.procedure[1].data = {0, 0, 0, 1, 0x27, 0x10, 0};
    s.memories.results.resize(1);
    s.memories.results[0].data = {1, 2, 3};
    for (auto* memory : {&s.memories.procedure, &s.memories.results}) {
        for (kvttools::MemoryRecord& r : *memory)
            r.stamp = stampAt(s.inServiceSince);  // a stamp's weekday follows from its date
    }
    return s;
}

TEST(EmulatorStateFile, ReadsBackWhatItWrote) {
    ScratchDirectory dir;
    const EmulatorState written = sampleState();
    const std::string path = dir.write("state.json", formatState(written, 1800000000));
    EmulatorState read;
    std::string error;
    ASSERT_TRUE(loadState(path, &read, &error)) << error;
    EXPECT_EQ(read.seed, 42u);
    EXPECT_EQ(read.clockOffsetSeconds, written.clockOffsetSeconds);
    EXPECT_EQ(read.inServiceSince, written.inServiceSince);
    EXPECT_EQ(read.memories.procedure, written.memories.procedure);
    EXPECT_EQ(read.memories.results, written.memories.results);
    // It is a memory file too, for kvtsim --image and kvtlnk show.
    kvttools::MemoryFile memories;
    ASSERT_TRUE(kvttools::loadMemoryFile(path, &memories, &error)) << error;
    EXPECT_EQ(memories.results, written.memories.results);
}

TEST(EmulatorStateFile, ADamagedFileIsRefusedWholeNamingTheField) {
    ScratchDirectory dir;
    const kvttools::Json good = kvttools::Json::parse(formatState(sampleState(), 0));
    const auto with = [&good](const char* key, kvttools::Json value) {
        kvttools::Json doc = good;
        if (value.is_discarded()) {
            doc.erase(key);
        } else {
            doc[key] = value;
        }
        return doc.dump();
    };
    const kvttools::Json gone(kvttools::Json::value_t::discarded);
    const struct {
        const char* what;
        std::string text;
        const char* says;
    } cases[] = {
        {"a memory file", R"({"procedure": [], "results": []})", "(top level): not an emulator's"},
        {"cut short", formatState(sampleState(), 0).substr(0, 200), "(file): not valid JSON"},
        {"a later format", with("kvtsimState", 2), "kvtsimState: not a whole number from 1 to 1"},
        {"no seed", with("seed", gone), "seed: missing"},
        {"a negative seed", with("seed", -1), "seed: not a whole number"},
        {"a seed too large", with("seed", 4294967296ull), "seed: not a whole number"},
        {"an offset as text", with("clockOffsetSeconds", "30d"), "clockOffsetSeconds: not a whole"},
        {"an offset of ages", with("clockOffsetSeconds", 1e12), "clockOffsetSeconds: not a whole"},
        {"no results list", with("results", gone), "results: missing"},
        {"an item out of bounds",
         with("procedure", kvttools::Json::parse(R"([{"kind": 70000, "version": 0,
              "stamp": "2027-01-15 09:00:00", "data": ""}])")),
         "procedure[0].kind"},
        {"not JSON at all", "\x01\x02", "(file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.write("state.json", c.text);
        EmulatorState kept = sampleState();
        kept.seed = 9;
        std::string error;
        EXPECT_FALSE(loadState(path, &kept, &error));
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(kept.seed, 9u) << "nothing of a refused file is taken";
        EXPECT_EQ(kept.memories.results.size(), 1u);
    }
}

class EmulatorRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime != nullptr) saved_ = runtime;
        ::setenv("XDG_RUNTIME_DIR", dir.path("run").c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty()) {
            ::unsetenv("XDG_RUNTIME_DIR");
        } else {
            ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        }
    }
    // A process that has ended and been reaped: its pid names nobody now.
    static pid_t endedProcess() {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }
    ScratchDirectory dir;

  private:
    std::string saved_;
};

TEST_F(EmulatorRegistry, FindsARunningEmulatorAndRemovesAStaleOrDamagedEntry) {
    EXPECT_EQ(registryPath(), dir.path("run/kvtlnk/emulator.json"));
    RegisteredEmulator found;
    EXPECT_EQ(findRegistered(&found), Registered::None);

    const RegisteredEmulator self{"/dev/null", ::getpid(), processStartTime(::getpid()),
                                  "/tmp/state.json"};
    std::string error;
    ASSERT_TRUE(registerEmulator(self, &error)) << error;
    EXPECT_EQ(
        std::filesystem::status(dir.path("run/kvtlnk")).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_all);
    ASSERT_EQ(findRegistered(&found), Registered::Running);
    EXPECT_EQ(std::make_tuple(found.port, found.pid, found.state),
              std::make_tuple(self.port, self.pid, self.state));
    unregisterEmulator(self.pid + 1);  // not its entry
    EXPECT_EQ(findRegistered(&found), Registered::Running);
    unregisterEmulator(self.pid);
    EXPECT_EQ(findRegistered(&found), Registered::None);

    const std::string path = registryPath();
    const struct {
        const char* what;
        std::string text;
    } stale[] = {
        {"its process ended",
         R"({"port": "/dev/null", "pid": )" + std::to_string(endedProcess()) + "}"},
        {"its pid was taken by another process",
         R"({"port": "/dev/null", "started": 1, "pid": )" + std::to_string(::getpid()) + "}"},
        {"its pty is gone",
         R"({"port": "/dev/pts/999999", "pid": )" + std::to_string(::getpid()) + "}"},
        {"not a device", R"({"port": "/etc/passwd", "pid": )" + std::to_string(::getpid()) + "}"},
        {"a negative pid", R"({"port": "/dev/null", "pid": -1})"},
        {"broken JSON", R"({"port": "/dev/nu)"},
        {"empty", ""},
    };
    for (const auto& s : stale) {
        SCOPED_TRACE(s.what);
        std::ofstream(path) << s.text;
        EXPECT_EQ(findRegistered(&found), Registered::Stale);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

}  // namespace
}  // namespace k27emu
