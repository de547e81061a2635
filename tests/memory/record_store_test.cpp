#include "memory/record_store.h"

#include <gtest/gtest.h>

#include <vector>

#include "memory/image_helpers.h"
#include "memory/memory_image.h"

namespace kvtlnk {
namespace {

constexpr DateStamp kStamp{5, 30, 12, 1, 15, 6, 6};  // Monday 15 June 1998, 12:30:05

TEST(RecordStore, AppendsStampedRecordsAndCountsThemEven) {
    RecordStore store(Memory::Procedure);
    store.setStampClock([] { return kStamp; });
    EXPECT_EQ(addRaw(store, 14, {0, 1, 2, 3, 4}, 1), 0);
    EXPECT_EQ(store.usedBytes(), 30u);  // 24 + 5 rounded up to 6
    const Record* r = store.selectRecord(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(bytesOf(*r), (Bytes{0, 1, 2, 3, 4}));
    EXPECT_EQ(r->kind(), 14);
    EXPECT_EQ(r->version(), 1);
    EXPECT_EQ(r->stamp(), kStamp);
    EXPECT_EQ(addRaw(store, 13, Bytes(6)), 1);
    EXPECT_EQ(store.usedBytes(), 60u);

    // A pending record without data adds nothing and stays pending: what is written next
    // still lands in it.
    EXPECT_EQ(store.beginRecord(13, 0), 2);
    store.endRecord();
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(store.usedBytes(), 60u);
    EXPECT_EQ(store.writeBytes("x", 1), 1);
    store.endRecord();
    EXPECT_EQ(store.selectRecord(2)->kind(), 13);
}

TEST(RecordStore, PendingRecordBounds) {
    RecordStore store(Memory::Procedure);
    const std::vector<uint8_t> big(70000, 0xAB);
    // Without a pending record nothing is written.
    EXPECT_EQ(store.writeBytes(big.data(), 1), 0);
    EXPECT_EQ(store.reserveBytes(1), nullptr);
    EXPECT_EQ(store.seekWrite(10), 0);
    store.setLengthToPosition();
    store.endRecord();
    EXPECT_EQ(store.count(), 0);

    // A record holds at most 64,976 data bytes.
    store.beginRecord(14, 0);
    EXPECT_EQ(store.writeBytes(big.data(), 70000), 64976);
    EXPECT_EQ(store.reserveBytes(1), nullptr);
    EXPECT_EQ(store.writeBytes(big.data(), 1), 0);
    store.endRecord();
    EXPECT_EQ(store.selectRecord(0)->length(), 64976u);

    // reserveBytes refuses what does not fit and takes nothing; seekWrite stops at the end.
    store.beginRecord(14, 0);
    ASSERT_NE(store.reserveBytes(64970), nullptr);
    EXPECT_EQ(store.reserveBytes(7), nullptr);
    EXPECT_NE(store.reserveBytes(6), nullptr);
    EXPECT_EQ(store.seekWrite(100000), 64975);
    // Seeking back and setting the length there cuts the record.
    EXPECT_EQ(store.seekWrite(3), 3);
    store.setLengthToPosition();
    store.endRecord();
    EXPECT_EQ(store.selectRecord(1)->length(), 3u);
}

// A store holds at most 16 MiB as usedBytes counts it: the record that would take it further is
// cut (writeBytes), refused (reserveBytes) or not begun at all, and cutting the tail makes room.
TEST(RecordStore, HoldsAtMostItsLimit) {
    RecordStore store(Memory::Results);
    const std::vector<uint8_t> full(RecordStore::kMaxData, 0x55);
    const uint32_t share = RecordStore::recordShare(RecordStore::kMaxData);        // 65,000
    const int32_t fit = static_cast<int32_t>(RecordStore::kMaxUsedBytes / share);  // 258
    for (int32_t i = 0; i < fit; ++i)
        ASSERT_EQ(addRaw(store, 7, full), i);
    const uint32_t left = RecordStore::kMaxUsedBytes - store.usedBytes();  // 7,216
    const int32_t room = static_cast<int32_t>(left - 24);                  // even already

    ASSERT_EQ(store.beginRecord(7, 0), fit);
    EXPECT_EQ(store.reserveBytes(room + 1), nullptr);
    EXPECT_EQ(store.writeBytes(full.data(), room + 100), room);
    store.endRecord();
    EXPECT_EQ(store.usedBytes(), RecordStore::kMaxUsedBytes);
    EXPECT_EQ(store.beginRecord(7, 0), -1) << "not even a record of one byte fits";

    store.truncate(fit);
    EXPECT_EQ(store.beginRecord(7, 0), fit);
    EXPECT_NE(store.reserveBytes(room), nullptr);
}

TEST(RecordStore, TruncateAndSelect) {
    const Bytes lengths = {10, 3, 7};  // shares 34, 28, 32
    const uint32_t usedAfter[] = {0, 34, 62, 94};
    for (int32_t index : {-1, 0, 1, 2, 3}) {
        RecordStore store(Memory::Results);
        for (uint8_t n : lengths)
            addRaw(store, 14, Bytes(n, n));
        const uint64_t epoch = store.epoch();
        store.truncate(index);
        const int32_t kept = index < 0 ? 3 : index;
        EXPECT_EQ(store.count(), kept) << index;
        EXPECT_EQ(store.usedBytes(), usedAfter[kept]) << index;
        EXPECT_EQ(store.selectRecord(kept), nullptr);
        EXPECT_EQ(store.selectRecord(-1), nullptr);
        for (int32_t i = kept - 1; i >= 0; --i)
            EXPECT_EQ(bytesOf(*store.selectRecord(i)), Bytes(lengths[i], lengths[i]));
        EXPECT_EQ(store.epoch() != epoch, kept < 3) << index;
        EXPECT_EQ(addRaw(store, 13, {1}), kept);  // the store goes on growing from the cut
    }

    // Truncating an empty store keeps the pending record; otherwise it goes too.
    RecordStore store(Memory::Procedure);
    store.beginRecord(10, 0);
    store.truncate(0);
    EXPECT_EQ(store.writeBytes("x", 1), 1);
    store.endRecord();
    store.beginRecord(10, 0);
    store.truncate(0);
    EXPECT_EQ(store.writeBytes("x", 1), 0);
    EXPECT_EQ(store.count(), 0);
}

TEST(RecordRef, MakeResolveAndStep) {
    MemoryImage image;
    addRaw(image.procedure(), 14, {1});
    addRaw(image.procedure(), 11, {2});
    addRaw(image.results(), 7, {3});
    const struct {
        Memory memory;
        int32_t index;
        RecordRef ref;
    } cases[] = {
        {Memory::Procedure, 0, 0},         {Memory::Procedure, 1, 1},
        {Memory::Procedure, 2, kNoRecord}, {Memory::Procedure, -1, kNoRecord},
        {Memory::Results, 0, -1},          {Memory::Results, 1, kNoRecord},
    };
    for (const auto& c : cases)
        EXPECT_EQ(makeRef(image, c.memory, c.index), c.ref) << c.index;
    EXPECT_EQ(refIndex(-2), 1);
    EXPECT_EQ(resolveRef(image, -1)->kind(), 7);
    EXPECT_EQ(resolveRef(image, 1)->kind(), 11);
    EXPECT_EQ(resolveRef(image, kNoRecord), nullptr);
    EXPECT_EQ(resolveRef(image, -2), nullptr);
    EXPECT_EQ(nextRef(image, 0), 1);
    EXPECT_EQ(nextRef(image, 1), kNoRecord);
    EXPECT_EQ(nextRef(image, -1), kNoRecord);
}

}  // namespace
}  // namespace kvtlnk
