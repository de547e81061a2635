#include "memory/record_layout.h"

#include <gtest/gtest.h>

#include <tuple>

#include "memory/image_helpers.h"

namespace kvtlnk {
namespace {

TEST(RecordLayout, DirectoryCodesDependOnTheMemory) {
    // kind, code in the procedure memory, code in the results memory
    const uint32_t cases[][3] = {
        {0, 0, 0},   {1, 0, 4},   {2, 0, 5},   {3, 0, 7},  {4, 0, 3},   {5, 0, 6},
        {6, 37, 0},  {7, 0, 1},   {8, 0, 2},   {9, 0, 0},  {10, 32, 0}, {11, 33, 0},
        {12, 34, 0}, {13, 35, 0}, {14, 36, 0}, {15, 0, 0}, {16, 0, 0},  {1000, 0, 0},
    };
    for (const auto& c : cases) {
        const auto kind = static_cast<uint16_t>(c[0]);
        EXPECT_EQ(std::make_pair(directoryCode(kind, Memory::Procedure),
                                 directoryCode(kind, Memory::Results)),
                  std::make_pair(c[1], c[2]))
            << kind;
    }
}

// A record that cannot take a field is not appended at all; counts too large for the record
// fail before their size could wrap around.
TEST(RecordLayout, WriterAppendsWholeRecordsOnly) {
    RecordStore store(Memory::Procedure);
    RecordWriter whole(store, 14, 1);
    EXPECT_TRUE(whole.writeU32(0x01020304) && whole.writeU16(0x0506) && whole.writeText("ab"));
    EXPECT_EQ(whole.finish(), 0);
    EXPECT_EQ(bytesOf(*store.selectRecord(0)), (Bytes{1, 2, 3, 4, 5, 6, 'a', 'b', 0}));
    // count, size: 2 x 0x80000001 and 22 x 976128931 wrap to 2; 32,489 points do not fit
    const uint32_t counts[][2] = {{0x80000001u, 2}, {976128931u, 22}, {32489u, 2}};
    for (const auto& c : counts) {
        RecordWriter w(store, 14);
        w.writeU16(0);
        EXPECT_EQ(c[1] == 2 ? w.takePoints(c[0]) : w.takeEntries(c[0]), nullptr) << c[0];
        EXPECT_FALSE(w.writeByte(1));  // nothing more goes in once a field failed
        EXPECT_EQ(std::make_pair(w.finish(), store.count()), std::make_pair(-1, 1));
    }
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
    EXPECT_EQ(std::make_tuple(i32, u16, u8, f), std::make_tuple(-2, 0x1234, 7, 1.0f));
    const std::string first = r.takeText();
    EXPECT_EQ(first + r.takeText(), "hix");
    EXPECT_EQ(r.takeText(), nullptr);

    // A failed read leaves nothing more to read; counted fields do not wrap around.
    RecordReader text(data.data() + 11, 2);  // "hi" without its zero
    EXPECT_EQ(text.takeText(), nullptr);
    EXPECT_TRUE(text.atEnd());
    for (uint32_t count : {9u, 0x80000000u}) {
        RecordReader points(data.data(), 6);
        EXPECT_EQ(points.takePoints(count), nullptr) << count;
        EXPECT_TRUE(points.atEnd()) << count;
    }
    EXPECT_EQ(RecordReader(data.data(), 6).takeEntries(976128931u), nullptr);
    RecordReader shortNumber(data.data(), 3);
    EXPECT_FALSE(shortNumber.readU16(&u16) && shortNumber.readU16(&u16));
    EXPECT_TRUE(shortNumber.atEnd());
}

}  // namespace
}  // namespace kvtlnk
