// kvtsim as a user runs it: a process that serves a pty until it is told to stop. Its refusals
// of bad files and bad usage are in the tool's table of failures.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/image_file.h"
#include "kvtlnk/kvtlnk.h"
#include "process.h"

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
