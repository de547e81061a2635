// The lab file going bad under a running server: the last one read well stays in use, with
// why the new one is not, until the file is fixed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "lab_watch.h"
#include "say.h"

namespace {

using namespace kvtweb;

TEST(LabWatch, KeepsTheLastGoodFileUntilItIsFixed) {
    const std::string path = testing::TempDir() + "/watched-lab.toml";
    const auto write = [&](const std::string& text) { std::ofstream(path) << text; };
    write("[lab]\nname = \"First\"\n");
    kvtapp::Workspace::Settings settings;
    settings.lab = path;
    LabWatch watch(settings);
    // Each step leaves the file a different size: a write within the same tick of the file
    // system's clock is still seen.
    const struct {
        const char* what;
        std::function<void()> change;
        const char* name;     // the lab in use after it
        const char* problem;  // in why the file is not the one in use; nullptr: it is
    } steps[] = {
        {"nothing", [] {}, "First", nullptr},
        {"not TOML", [&] { write("[lab\nname = \"Second\"\n"); }, "First", "not TOML"},
        {"a key it does not know", [&] { write("[lab]\nname = \"Third\"\nnmae = 1\n"); }, "First",
         "nmae"},
        {"fixed", [&] { write("[lab]\nname = \"Fourth lab\"\n"); }, "Fourth lab", nullptr},
        {"removed", [&] { std::filesystem::remove(path); }, "Fourth lab", ""},
        {"back", [&] { write("[lab]\nname = \"Fifth\"\n"); }, "Fifth", nullptr},
        {"bytes that are not text", [&] { write("[lab]\nname = \"\xff\xfe\"\n"); }, "Fifth", ""},
    };
    std::string stamp = watch.current().stamp;
    for (const auto& step : steps) {
        step.change();
        const LabWatch::Current now = watch.current();
        EXPECT_EQ(now.workspace->lab().name, step.name) << step.what;
        if (step.problem) {
            EXPECT_NE(now.problem, "") << step.what;
            EXPECT_NE(now.problem.find(step.problem), std::string::npos)
                << step.what << ": " << now.problem;
        } else {
            EXPECT_EQ(now.problem, "") << step.what;
        }
        EXPECT_EQ(now.stamp != stamp, std::string(step.what) != "nothing") << step.what;
        stamp = now.stamp;
        // Asked again with no change, the same answer, the file not read again.
        EXPECT_EQ(watch.current().workspace, now.workspace) << step.what;
    }
}

// The server's log stays text whatever bytes come to it: a line of it is valid UTF-8 without
// controls but its end.
TEST(Say, LinesAreTextWhateverTheyCarry) {
    const struct {
        std::string line, shown;
    } cases[] = {
        {"plain", "kvtlnk: plain\n"},
        {"caf\xc3\xa9", "kvtlnk: caf\xc3\xa9\n"},
        {"\xff\xfe", "kvtlnk: \\xff\\xfe\n"},
        {"\x1b[2Jgone", "kvtlnk: \\x1b[2Jgone\n"},
        {"two\nlines", "kvtlnk: two\\x0alines\n"},
        {"cut \xe2\x82", "kvtlnk: cut \\xe2\\x82\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream captured;
        std::streambuf* was = std::cerr.rdbuf(captured.rdbuf());
        say(c.line);
        std::cerr.rdbuf(was);
        EXPECT_EQ(captured.str(), c.shown);
    }
}

// A worker's standard error comes out in the server's as lines of text, named by its port.
TEST(Say, AWorkersErrorsAreRelayedAsText) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string bytes = "first\n\xff\x1b[31mred\nlast without an end";
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
    std::ostringstream captured;
    std::streambuf* was = std::cerr.rdbuf(captured.rdbuf());
    sayLines(fds[0], "the worker of /dev/ttyUSB0: ");
    std::cerr.rdbuf(was);
    EXPECT_EQ(captured.str(),
              "kvtlnk: the worker of /dev/ttyUSB0: first\n"
              "kvtlnk: the worker of /dev/ttyUSB0: \\xff\\x1b[31mred\n"
              "kvtlnk: the worker of /dev/ttyUSB0: last without an end\n");
}

}  // namespace
