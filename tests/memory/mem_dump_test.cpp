#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
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
    memTemplate(image, 0, 1, "a\nb", "c", 3);  // data with a newline byte
    addRaw(image.results(), 1000, {1, 2, 3});
    addRaw(image.results(), 9, {4});
    addRaw(image.results(), 16, {5, 6});
    addRaw(image.results(), SETUP_5, {7}, 1);
    tables.setDateTimeFormat(1, 0);
    EXPECT_TRUE(memDump(image, tables, dir.c_str()));
    EXPECT_EQ(tables.timeFormatIndex(), 1u);

    std::set<std::string> names;
    for (Memory m : {Memory::Results, Memory::Procedure}) {
        const std::string base = m == Memory::Results ? "res" : "prc";
        const RecordStore& store = image.store(m);
        std::string listing;
        for (int i = 0; i < store.count(); ++i) {
            const Record& r = *store.selectRecord(i);
            const DateStamp& s = r.stamp();
            char line[96];
            std::snprintf(line, sizeof line, "%d: %s(%d),V(%d),%02d/%02d/%d %02d:%02d:%02d\n", i,
                          r.kind() == 16 ? "" : "<<nil>>", r.kind(), r.version(), s.month, s.day,
                          s.fullYear(), s.hour, s.minute, s.second);
            listing += line;
            names.insert(base + std::to_string(i) + ".nd");
            const Bytes data = bytesOf(r);
            EXPECT_EQ(contents(dir + "/" + base + std::to_string(i) + ".nd"),
                      std::string(data.begin(), data.end()));
        }
        names.insert(base + ".dir");
        EXPECT_EQ(contents(dir + "/" + base + ".dir"), listing);
    }
    EXPECT_EQ(filesIn(dir), names);
    EXPECT_EQ(contents(dir + "/res.dir").substr(0, 18), "0: <<nil>>(1000),V");
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
