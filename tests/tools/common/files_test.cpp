#include "common/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace kvttools {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kvtfiles-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A file of that many zero bytes that takes no room.
    std::string sized(const std::string& name, size_t bytes) const {
        write(name, "");
        fs::resize_file(path(name), bytes);
        return path(name);
    }

    std::string dir_;
};

// Up to the bound an input reads whole, from a file or from standard input ("-"); one byte
// more is refused, however the bytes come.
TEST_F(Files, InputsAreReadUpToTheBound) {
    const int saved = dup(STDIN_FILENO);
    for (const size_t size : {kMaxInputBytes, kMaxInputBytes + 1}) {
        const std::string file = sized("in", size);
        const int fd = open(file.c_str(), O_RDONLY);
        ASSERT_EQ(dup2(fd, STDIN_FILENO), STDIN_FILENO);
        close(fd);
        for (const std::string& name : {file, std::string("-")}) {
            std::string text, error;
            const bool reads = size == kMaxInputBytes;
            EXPECT_EQ(readTextFile(name, &text, &error), reads) << name;
            EXPECT_EQ(text.size(), reads ? size : 0);
            const std::string shown = name == "-" ? "standard input" : file;
            EXPECT_EQ(
                error,
                reads ? "" : shown + ": is larger than 64 MiB, more than the tools read of a file");
        }
    }
    dup2(saved, STDIN_FILENO);
    close(saved);
}

// The calls of AtomicFile with a change of the file system before one of them.
class SwapBefore : public FileCalls {
  public:
    std::function<void()> open_, rename_;
    int open(const char* path, int flags, mode_t mode) override {
        if (open_) open_();
        return FileCalls::open(path, flags, mode);
    }
    int rename(const char* from, const char* to) override {
        if (rename_) rename_();
        return FileCalls::rename(from, to);
    }
};

// A pipe or a file swapped for a link to another file, in the window between looking at the
// name and using it, never gets that file written.
TEST_F(Files, ALinkSwappedInIsNeverWrittenThrough) {
    const std::string victim = write("victim", "keep me");
    const std::string out = path("out");
    const auto swap = [&] {
        fs::remove(out);
        fs::create_symlink(victim, out);
    };
    {
        ASSERT_EQ(mkfifo(out.c_str(), 0600), 0);
        SwapBefore calls;
        calls.open_ = swap;
        AtomicFile file(calls);
        std::string error;
        EXPECT_FALSE(file.open(out, &error));
        EXPECT_EQ(error, out + ": is a symbolic link; name the file itself");
    }
    for (const bool existed : {false, true}) {
        fs::remove(out);
        if (existed) write("out", "old");
        SwapBefore calls;
        calls.rename_ = swap;
        AtomicFile file(calls);
        std::string error;
        ASSERT_TRUE(file.open(out, &error)) << error;
        ASSERT_TRUE(file.commit("report", &error)) << error;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
        EXPECT_EQ(contents(out), "report");
    }
    EXPECT_EQ(contents(victim), "keep me");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);  // no temporary file left
}

}  // namespace
}  // namespace kvttools
