#include "memory/record_layout.h"

#include <gtest/gtest.h>

#include "memory/image_helpers.h"

namespace kvtlnk {
namespace {

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

TEST(RecordLayout, WriterRefusesToRunPastTheEnd) {
    Bytes area(6, 0);
    RecordWriter w(area.data(), 5);
    EXPECT_TRUE(w.writeU32(1));
    EXPECT_FALSE(w.writeU16(1));
    EXPECT_EQ(w.copyText("x"), nullptr);  // needs two bytes with its zero
    EXPECT_TRUE(w.writeByte(7));
    EXPECT_FALSE(w.writeByte(8));
    EXPECT_EQ(w.takeEntries(1), nullptr);
    EXPECT_EQ(area, (Bytes{0, 0, 0, 1, 7, 0}));
}

TEST(RecordLayout, ReaderReadsBigEndianFieldsUpToTheRecordEnd) {
    const Bytes data = {0xFF, 0xFF, 0xFF, 0xFE, 0x12, 0x34, 0x07, 0x3F,
                        0x80, 0,    0,    'h',  'i',  0,    'x',  0};
    RecordReader r(data.data(), static_cast<uint32_t>(data.size()));
    int32_t i32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    float f = 0;
    ASSERT_TRUE(r.readI32(&i32) && r.readU16(&u16) && r.readByte(&u8) && r.readF32(&f));
    EXPECT_EQ(i32, -2);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u8, 7);
    EXPECT_EQ(f, 1.0f);
    EXPECT_STREQ(r.takeText(), "hi");
    EXPECT_STREQ(r.takeText(), "x");
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(r.takeText(), nullptr);

    // A failed read leaves nothing more to read.
    RecordReader text(data.data() + 11, 2);  // "hi" without its zero
    EXPECT_EQ(text.takeText(), nullptr);
    EXPECT_TRUE(text.atEnd());
    const Bytes ninePoints = {0, 0, 0, 9, 1, 2};
    RecordReader points(ninePoints.data(), 6);
    uint32_t count = 0;
    ASSERT_TRUE(points.readU32(&count));
    EXPECT_EQ(points.takePoints(count), nullptr);
    EXPECT_TRUE(points.atEnd());
    for (uint32_t length : {0u, 3u}) {
        RecordReader shortNumber(data.data(), length);
        EXPECT_FALSE(shortNumber.readU32(&count)) << length;
        EXPECT_TRUE(shortNumber.atEnd()) << length;
    }
}

}  // namespace
}  // namespace kvtlnk
