#include "memory/record_layout.h"

#include <gtest/gtest.h>

#include <utility>

#include "memory/image_helpers.h"

namespace kvtlnk {
namespace {

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
