// kvtsim as a user runs it: a process that serves a pty until it is told to stop. Its refusals
// of bad files and bad usage are in the tool's table of failures.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "common/image_file.h"
#include "emu_clock.h"
#include "kvtlnk/kvtlnk.h"
#include "process.h"
#include "registry.h"
#include "state_file.h"

namespace k27emu {
namespace {

using kvttools::formatMemoryFile;
using kvttools::loadMemoryFile;
using kvttools::MemoryFile;

TEST(EmulatorKvtsim, ServesAnImageAndSavesItOnExit) {
    const std::string dir = ::testing::TempDir() + "kvtsim_" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    const std::string in = dir + "/in.json", out = dir + "/out.json", link = dir + "/k27port";
    MemoryFile image;
    image.procedure.resize(2);
    image.results.resize(1);
    image.results[0].data = {0, 1, 2};
    std::ofstream(in) << formatMemoryFile(image);

    // The emulator repeats a frame after a second, the library waits its default time-out.
    ChildProcess kvtsim(KVTSIM_PATH,
                        {"--image", in, "--save", out, "--link", link, "--timeout", "1000"});
    ASSERT_TRUE(kvtsim.readUntil(
        [](const ProcessResult& r) { return r.out.find('\n') != std::string::npos; }));

    // The image is served on the link; a clear empties the procedure memory.
    ASSERT_EQ(KVTopen(9600, link.c_str(), 500, 5), KVTLNK_OK);
    char text[129];
    uint32_t number = 0, procedureItems = 0;
    ASSERT_EQ(KVTgetK2x(text, text, text, &number, &procedureItems, &number), KVTLNK_OK);
    EXPECT_EQ(procedureItems, 2u);
    ASSERT_EQ(KVTclear(), KVTLNK_OK);
    KVTclose();

    const ProcessResult r = kvtsim.finish(SIGTERM);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    MemoryFile saved;
    std::string error;
    ASSERT_TRUE(loadMemoryFile(out, &saved, &error)) << error;
    EXPECT_TRUE(saved.procedure.empty());
    ASSERT_EQ(saved.results.size(), 1u);
    EXPECT_EQ(saved.results[0].data, image.results[0].data);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link is removed on exit";
}

}  // namespace
}  // namespace k27emu

namespace k27emu {
namespace {

// The item counts the emulator on this port reports.
std::pair<uint32_t, uint32_t> itemCounts(const std::string& port) {
    char text[129];
    uint32_t capacity = 0, procedure = 0, results = 0;
    EXPECT_EQ(KVTopen(9600, port.c_str(), 500, 5), KVTLNK_OK);
    EXPECT_EQ(KVTgetK2x(text, text, text, &capacity, &procedure, &results), KVTLNK_OK);
    KVTclose();
    return {procedure, results};
}

class EmulatorKvtsimState : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "kvtsim_state_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ::mkdir(dir.c_str(), 0700);
        state = dir + "/k27.json";
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime != nullptr) savedRuntime = runtime;
        ::setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
    }
    void TearDown() override {
        if (savedRuntime.empty()) {
            ::unsetenv("XDG_RUNTIME_DIR");
        } else {
            ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
        }
    }

    EmulatorState savedState() {
        EmulatorState s;
        std::string error;
        EXPECT_TRUE(loadState(state, &s, &error)) << error;
        return s;
    }

    std::string dir, state, savedRuntime;
};

TEST_F(EmulatorKvtsimState, KeepsTheMemoriesAndTheClockBetweenRuns) {
    const std::string link = dir + "/k27";
    // First run: a new state, its clock set; the memories come in through the port.
    {
        ChildProcess kvtsim(KVTSIM_PATH, {"--state", state, "--clock", "2027-01-15T09:00", "--link",
                                          link, "--timeout", "1000"});
        ASSERT_TRUE(kvtsim.readUntil(
            [](const ProcessResult& r) { return r.out.find('\n') != std::string::npos; }));
        EXPECT_EQ(savedState().memories.procedure.size(), 0u) << "made at start";
        EXPECT_EQ(itemCounts(link), std::make_pair(0u, 0u));
        ASSERT_EQ(KVTopen(9600, link.c_str(), 500, 5), KVTLNK_OK);
        uint32_t items = 0;
        MEMclear();
        ASSERT_EQ(KVTdnlStart(&items), KVTLNK_OK);
        for (uint32_t left = items; left > 0;)
            ASSERT_EQ(KVTdnlStep(&left), KVTLNK_OK);
        KVTclose();
        const ProcessResult r = kvtsim.finish(SIGTERM);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(savedState().memories.procedure.size(), items);
    }
    const EmulatorState first = savedState();
    int64_t clockSet = 0;
    std::string error;
    ASSERT_TRUE(parseClock("2027-01-15T09:00", &clockSet, &error));
    EXPECT_NEAR(static_cast<double>(first.inServiceSince), static_cast<double>(clockSet), 120);

    // Second run: a month later on the emulator's clock; it serves what it kept.
    ChildProcess kvtsim(KVTSIM_PATH, {"--state", state, "--clock-offset", "30d", "--link", link,
                                      "--timeout", "1000"});
    ASSERT_TRUE(kvtsim.readUntil(
        [](const ProcessResult& r) { return r.out.find('\n') != std::string::npos; }));
    const EmulatorState second = savedState();
    EXPECT_EQ(second.clockOffsetSeconds, first.clockOffsetSeconds + 30 * 86400);
    EXPECT_EQ(second.inServiceSince, first.inServiceSince);
    EXPECT_EQ(itemCounts(link).first, first.memories.procedure.size());
    ASSERT_EQ(KVTopen(9600, link.c_str(), 500, 5), KVTLNK_OK);
    ASSERT_EQ(KVTclear(), KVTLNK_OK);
    KVTclose();
    EXPECT_EQ(kvtsim.finish(SIGTERM).exitCode, 0);
    EXPECT_TRUE(savedState().memories.procedure.empty());
}

TEST_F(EmulatorKvtsimState, ADamagedStateIsRefusedAndLeftAsItIs) {
    const struct {
        std::vector<std::string> args;
        std::string file;  // written to the state file first
        std::string says;
    } cases[] = {
        {{"--state", "@"}, R"({"procedure": [], "results": []})", "not an emulator's state file"},
        {{"--state", "@"}, "{\"kvtsimState\": 1, \"seed\": 1, \"clo", "(file): not valid JSON"},
        {{"--state", "@", "--clock", "2027-02-30T09:00"}, "", "is not a date and time"},
        {{"--state", "@", "--clock-offset", "30"}, "", "is not a span such as 30d"},
        {{"--state", "@", "--clock-offset", "-2000w"}, "", "outside 1992 to 2091"},
        {{"--state", "@", "--image", "x.json"}, "", "excludes"},
        {{"--background"}, "", "requires --state"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(a == "@" ? state : a);
        ::unlink(state.c_str());
        if (!c.file.empty()) std::ofstream(state) << c.file;
        ChildProcess kvtsim(KVTSIM_PATH, args);
        const ProcessResult r = kvtsim.finish(0, 30);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << "no port is served";
        std::ifstream in(state);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.file);
    }
}

TEST_F(EmulatorKvtsimState, InTheBackgroundItRegistersItsPortUntilStopped) {
    const ProcessResult started = runProcess(KVTSIM_PATH, {"--state", state, "--background"});
    ASSERT_EQ(started.exitCode, 0) << started.err;
    RegisteredEmulator e;
    ASSERT_EQ(findRegistered(&e), Registered::Running);
    EXPECT_EQ(started.out, e.port + "\n");
    EXPECT_EQ(e.state, state);
    EXPECT_EQ(itemCounts(e.port), std::make_pair(0u, 0u));

    const ProcessResult again = runProcess(KVTSIM_PATH, {"--state", state, "--background"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("an emulator serves already on " + e.port), std::string::npos)
        << again.err;

    ASSERT_EQ(::kill(e.pid, SIGTERM), 0);
    for (int i = 0; i < 3000 && processRuns(e.pid); ++i)
        ::usleep(10000);
    EXPECT_FALSE(processRuns(e.pid));
    EXPECT_EQ(findRegistered(&e), Registered::None) << "it removes its own entry";
}

}  // namespace
}  // namespace k27emu
