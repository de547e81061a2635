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

// An input is a regular file within the bound; anything else is refused at once, a pipe
// without a writer too.
TEST_F(Files, InputsAreRegularFilesWithinTheBound) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    fs::create_symlink(write("real.json", "{}"), path("link.json"));
    const struct {
        std::string path;
        std::string error;  // how the message ends; "" when it reads
    } cases[] = {
        {path("real.json"), ""},
        {path("link.json"), ""},
        {sized("bound", kMaxInputBytes), ""},
        {sized("above", kMaxInputBytes + 1),
         "above: is larger than 64 MiB, more than the tools read of a file"},
        {dir_, ": is a directory, not a file"},
        {"/dev/zero",
         "/dev/zero: is a character device, not a regular file (give - to read standard input)"},
        {path("fifo"), "fifo: is a pipe, not a regular file (give - to read standard input)"},
        {path("none"), "none: No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string text = "before";
        std::string error;
        EXPECT_EQ(readTextFile(c.path, &text, &error), c.error.empty()) << c.path;
        if (c.error.empty()) {
            EXPECT_EQ(text.size(), fs::file_size(c.path)) << c.path;
        } else {
            EXPECT_EQ(error.substr(error.size() - std::min(error.size(), c.error.size())), c.error);
        }
    }
}

// "-" reads standard input, with the same bound.
TEST_F(Files, StandardInputIsReadWithTheBound) {
    const int saved = dup(STDIN_FILENO);
    for (const auto& [file, reads] : {std::pair{write("in.json", "{\"procedure\": []}"), true},
                                      {sized("big", kMaxInputBytes + 1), false}}) {
        const int fd = open(file.c_str(), O_RDONLY);
        ASSERT_EQ(dup2(fd, STDIN_FILENO), STDIN_FILENO);
        close(fd);
        std::string text, error;
        EXPECT_EQ(readTextFile("-", &text, &error), reads) << error;
        EXPECT_EQ(
            reads ? text : error,
            reads ? contents(file)
                  : "standard input: is larger than 64 MiB, more than the tools read of a file");
    }
    dup2(saved, STDIN_FILENO);
    close(saved);
}

// What stands under the name decides: a file is replaced whole, a device or a pipe with a
// reader is written in place, a link or a pipe that nobody reads is refused.
TEST_F(Files, OutputsGoWhereTheyAreNamed) {
    const std::string victim = write("victim", "keep me");
    fs::create_symlink(victim, path("link"));
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string openError;    // "" when it opens
        std::string commitError;  // "" when the text is written
    } cases[] = {
        {path("new"), "", ""},
        {write("old", "an older and longer text"), "", ""},
        {"/dev/null", "", ""},
        {"/dev/full", "", "/dev/full: No space left on device"},
        {path("link"), path("link") + ": is a symbolic link; name the file itself", ""},
        {path("fifo"), path("fifo") + ": is a pipe that no program reads", ""},
        {dir_, dir_ + ": is a directory; name a file", ""},
        {path("none/x"), path("none/x") + ": No such file or directory", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        AtomicFile file;
        std::string error;
        ASSERT_EQ(file.open(c.path, &error), c.openError.empty());
        if (!c.openError.empty()) {
            EXPECT_EQ(error, c.openError);
            continue;
        }
        EXPECT_EQ(file.commit("text", &error), c.commitError.empty());
        EXPECT_EQ(error, c.commitError);
        if (c.path.compare(0, 5, "/dev/") != 0) {
            EXPECT_EQ(contents(c.path), "text");
        }
    }
    EXPECT_EQ(contents(victim), "keep me");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 5);  // no temporary file left
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
}

}  // namespace
}  // namespace kvttools
