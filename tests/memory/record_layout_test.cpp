#include "memory/record_layout.h"

#include <gtest/gtest.h>

#include <utility>

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

// Fields are written and read by every record call; here, counts too large for the record,
// which must fail before their size could wrap around, and a record that cannot take a field,
// which is not appended at all.
TEST(RecordLayout, CountedFieldsDoNotWrapAround) {
    RecordStore store(Memory::Procedure);
    // count, size: 2 x 0x80000001 and 22 x 976128931 wrap to 2; 32,489 points do not fit
    const uint32_t counts[][2] = {{0x80000001u, 2}, {976128931u, 22}, {32489u, 2}};
    for (const auto& c : counts) {
        RecordWriter w(store, 14);
        w.writeU16(0);
        EXPECT_EQ(c[1] == 2 ? w.takePoints(c[0]) : w.takeEntries(c[0]), nullptr) << c[0];
        EXPECT_FALSE(w.writeByte(1));  // nothing more goes in once a field failed
        EXPECT_EQ(std::make_pair(w.finish(), store.count()), std::make_pair(-1, 0));
        const Bytes six(6, 0);
        RecordReader r(six.data(), 6);
        EXPECT_EQ(c[1] == 2 ? r.takePoints(c[0] - 1) : r.takeEntries(c[0]), nullptr) << c[0];
        EXPECT_TRUE(r.atEnd());
    }
}

}  // namespace
}  // namespace kvtlnk
