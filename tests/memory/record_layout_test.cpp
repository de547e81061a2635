#include "memory/record_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvtlnk {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(RecordLayout, DirectoryCodesDependOnTheMemory) {
    struct Case {
        uint16_t kind;
        uint32_t procedure;
        uint32_t results;
    };
    const Case cases[] = {
        {0, 0, 0},   {1, 0, 4},   {2, 0, 5},   {3, 0, 7},  {4, 0, 3},   {5, 0, 6},
        {6, 37, 0},  {7, 0, 1},   {8, 0, 2},   {9, 0, 0},  {10, 32, 0}, {11, 33, 0},
        {12, 34, 0}, {13, 35, 0}, {14, 36, 0}, {15, 0, 0}, {16, 0, 0},  {1000, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(directoryCode(c.kind, Memory::Procedure), c.procedure) << c.kind;
        EXPECT_EQ(directoryCode(c.kind, Memory::Results), c.results) << c.kind;
    }
}

TEST(RecordLayout, WriterBuildsAStrategyRecord) {
    // Three points 0, 0.25, 1 and the name "abc": 4 + 6 + 4 bytes.
    Bytes area(14, 0xEE);
    RecordWriter w(area.data(), 14);
    ASSERT_TRUE(w.writeU32(3));
    uint8_t* points = w.takePoints(3);
    ASSERT_NE(points, nullptr);
    ASSERT_NE(w.copyText("abc"), nullptr);
    points[2] = 0x09;
    points[3] = 0xC4;
    points[4] = 0x27;
    points[5] = 0x10;
    const Bytes expected = {0, 0, 0, 3, 0, 0, 0x09, 0xC4, 0x27, 0x10, 'a', 'b', 'c', 0};
    EXPECT_EQ(area, expected);
    EXPECT_EQ(w.position(), 13u);  // the last text's zero is the record's last byte
}

TEST(RecordLayout, WriterBuildsATemplateRecord) {
    Bytes area(14, 0xEE);
    RecordWriter w(area.data(), 14);
    ASSERT_TRUE(w.writeU32(3));
    ASSERT_TRUE(w.writeU32(9));
    ASSERT_TRUE(w.writeByte(1));
    ASSERT_NE(w.copyText("A"), nullptr);
    w.takeZeros(1);
    ASSERT_NE(w.copyText("BC"), nullptr);
    const Bytes expected = {0, 0, 0, 3, 0, 0, 0, 9, 1, 'A', 0, 'B', 'C', 0};
    EXPECT_EQ(area, expected);
}

TEST(RecordLayout, WriterRefusesToRunPastTheEnd) {
    Bytes area(6, 0);
    RecordWriter w(area.data(), 5);
    EXPECT_TRUE(w.writeU32(1));
    EXPECT_FALSE(w.writeU16(1));
    EXPECT_EQ(w.copyText("x"), nullptr);  // needs two bytes with its zero
    EXPECT_TRUE(w.writeByte(7));
    EXPECT_FALSE(w.writeByte(8));
    EXPECT_EQ(w.takeEntries(1), nullptr);
    EXPECT_EQ(area[5], 0);
}

TEST(RecordLayout, ReaderReadsFieldsBigEndian) {
    const Bytes data = {0xFF, 0xFF, 0xFF, 0xFE, 0x12, 0x34, 0x07, 0x3F,
                        0x80, 0,    0,    'h',  'i',  0,    'x',  0};
    RecordReader r(data.data(), static_cast<uint32_t>(data.size()));
    int32_t i32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    float f = 0;
    ASSERT_TRUE(r.readI32(&i32));
    EXPECT_EQ(i32, -2);
    ASSERT_TRUE(r.readU16(&u16));
    EXPECT_EQ(u16, 0x1234);
    ASSERT_TRUE(r.readByte(&u8));
    EXPECT_EQ(u8, 7);
    ASSERT_TRUE(r.readF32(&f));
    EXPECT_EQ(f, 1.0f);
    EXPECT_STREQ(r.takeText(), "hi");
    EXPECT_STREQ(r.takeText(), "x");
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(r.takeText(), nullptr);
}

TEST(RecordLayout, ReaderStopsAtTheRecordEnd) {
    struct Case {
        const char* what;
        Bytes data;
        int steps;  // how many reads succeed before the failing one
    };
    const Case cases[] = {
        {"text without terminator", {0, 0, 'a', 'b'}, 1},
        {"count runs past the end", {0, 0, 0, 9, 1, 2}, 1},
        {"short number", {0, 0, 0}, 0},
        {"empty record", {}, 0},
    };
    for (const Case& c : cases) {
        RecordReader r(c.data.data(), static_cast<uint32_t>(c.data.size()));
        int ok = 0;
        // The reads a strategy decoder makes: a count, its points, the name.
        uint32_t count = 0;
        if (c.data.size() == 4 && c.data[0] == 0 && c.data[2] == 'a') {
            uint16_t word;
            ok += r.readU16(&word);
            EXPECT_EQ(r.takeText(), nullptr) << c.what;
        } else if (r.readU32(&count)) {
            ++ok;
            EXPECT_EQ(r.takePoints(count), nullptr) << c.what;
        }
        EXPECT_EQ(ok, c.steps) << c.what;
        EXPECT_TRUE(r.atEnd()) << c.what;  // a failed read leaves nothing more to read
    }
}

TEST(RecordLayout, CopyBoundedCutsAtTheBufferSize) {
    char out[5];
    copyBounded(out, "abcdefgh", sizeof out);
    EXPECT_STREQ(out, "abcd");
    copyBounded(out, "ab", sizeof out);
    EXPECT_STREQ(out, "ab");
    copyBounded(out, "", 1);
    EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace kvtlnk
