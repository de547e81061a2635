#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"

namespace kvtlnk {
namespace {

namespace fs = std::filesystem;

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class MemDump : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kvtlnk_dumpXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string dir;
    MemoryImage image;
    TextTables tables;
};

TEST_F(MemDump, ListingsAndDataFiles) {
    memClear(image);
    memTemplate(image, 0, 1, "a\nb", "c", 3);  // 9: data with a newline byte
    for (uint16_t kind : {1000, 9, 16})
        addRaw(image.results(), kind, {1, 2});
    addRaw(image.results(), SETUP_5, {7}, 1);
    for (Memory m : {Memory::Results, Memory::Procedure}) {
        for (int32_t i = 0; i < image.store(m).count(); ++i)
            image.store(m).selectRecord(i)->setStamp(DateStamp{5, 4, 3, 2, 1, 12, 7});
    }
    tables.setDateTimeFormat(1, 0);
    EXPECT_TRUE(memDump(image, tables, dir.c_str()));

    // A line a record, its stamp month first, as the table's date format says.
    const std::string listing = contents(dir + "/res.dir");
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 4);
    EXPECT_THAT(listing, ::testing::EndsWith("\n3: <<nil>>(5),V(1),12/01/1999 03:04:05\n"));
    EXPECT_THAT(contents(dir + "/prc.dir"),
                ::testing::EndsWith("\n9: <<nil>>(6),V(0),12/01/1999 03:04:05\n"));
    EXPECT_EQ(contents(dir + "/prc9.nd"), std::string("\0\0\0\0\0\0\0\3\1a\nb\0c\0", 15));
    EXPECT_EQ(contents(dir + "/res3.nd"), "\7");
    EXPECT_EQ(filesIn(dir).size(), 10u + 4 + 2);
}

TEST_F(MemDump, PlantedLinksAreReplacedNotWrittenThrough) {
    addRaw(image.procedure(), TASK_END, {0});
    const std::string victim = dir + "/victim";
    std::ofstream(victim) << "keep";
    for (const char* name : {"/prc.dir", "/prc0.nd"})
        fs::create_symlink(victim, dir + name);
    fs::create_hard_link(victim, dir + "/res.dir");
    EXPECT_TRUE(memDump(image, tables, dir.c_str()));
    EXPECT_EQ(contents(victim), "keep");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir + "/prc0.nd")));
    EXPECT_EQ(contents(dir + "/prc0.nd"), std::string(1, '\0'));
}

TEST_F(MemDump, EmptyImageAndPathsItCannotUse) {
    // The longest name is the path, "/res", ten digits and ".nd" in 256 bytes with the zero.
    for (size_t length : {238u, 239u}) {
        const std::string sub = dir + "/" + std::string(length - dir.size() - 1, 'd');
        ASSERT_TRUE(fs::create_directory(sub));
        EXPECT_EQ(memDump(image, tables, sub.c_str()), length == 238) << length;
        EXPECT_EQ(filesIn(sub).size(), length == 238 ? 2u : 0u);
        EXPECT_EQ(contents(sub + "/res.dir") + contents(sub + "/prc.dir"), "");
    }
    EXPECT_TRUE(memDump(image, tables, (dir + "/missing").c_str()));
    EXPECT_FALSE(memDump(image, tables, nullptr));
}

}  // namespace
}  // namespace kvtlnk
