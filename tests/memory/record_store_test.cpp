#include "memory/record_store.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "memory/memory_image.h"

namespace kvtlnk {
namespace {

// Appends a record of n data bytes, each byte its offset plus seed.
int32_t addRecord(RecordStore& store, uint16_t kind, int32_t n, uint8_t seed = 0) {
    const int32_t index = store.beginRecord(kind, 0);
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i + seed);
    store.writeBytes(bytes.data(), n);
    store.endRecord();
    return index;
}

TEST(RecordStore, NewStoreIsEmpty) {
    RecordStore store(Memory::Procedure);
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.usedBytes(), 0u);
    EXPECT_EQ(store.selectRecord(0), nullptr);
    EXPECT_EQ(store.capacity(), 1048576u);
    EXPECT_EQ(store.storeId(), 1);
    EXPECT_EQ(RecordStore(Memory::Results).storeId(), 2);
}

TEST(RecordStore, EndRecordAppendsStampedRecordAndCountsEvenLength) {
    RecordStore store(Memory::Procedure);
    const std::time_t before = std::time(nullptr);
    EXPECT_EQ(addRecord(store, 14, 5), 0);
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.usedBytes(), 30u);  // 24 + 5 rounded up to 6
    const Record* r = store.selectRecord(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->length(), 5u);
    EXPECT_EQ(r->kind(), 14);
    EXPECT_EQ(r->data()[4], 4);

    std::tm local{};
    localtime_r(&before, &local);
    const DateStamp expected = stampFromLocalTime(local);
    EXPECT_EQ(r->stamp().year, expected.year);
    EXPECT_EQ(r->stamp().month, expected.month);
    EXPECT_EQ(r->stamp().day, expected.day);

    EXPECT_EQ(addRecord(store, 13, 6), 1);
    EXPECT_EQ(store.usedBytes(), 30u + 30u);
}

TEST(RecordStore, EmptyPendingRecordAddsNothing) {
    RecordStore store(Memory::Procedure);
    EXPECT_EQ(store.beginRecord(13, 0), 0);
    store.endRecord();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.usedBytes(), 0u);
    EXPECT_TRUE(store.hasPending());  // it stays pending until replaced
}

TEST(RecordStore, RecordSizeLimit) {
    RecordStore store(Memory::Procedure);
    std::vector<uint8_t> big(70000, 0xAB);
    store.beginRecord(14, 0);
    EXPECT_EQ(store.writeBytes(big.data(), 70000), 64976);
    EXPECT_EQ(store.reserveBytes(1), nullptr);
    EXPECT_EQ(store.writeBytes(big.data(), 1), 0);
    store.endRecord();
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.selectRecord(0)->length(), 64976u);

    // reserveBytes refuses what does not fit and takes nothing.
    store.beginRecord(14, 0);
    ASSERT_NE(store.reserveBytes(64970), nullptr);
    EXPECT_EQ(store.reserveBytes(7), nullptr);
    EXPECT_NE(store.reserveBytes(6), nullptr);
}

TEST(RecordStore, WithoutPendingRecordWritesNothing) {
    RecordStore store(Memory::Procedure);
    const uint8_t b = 1;
    EXPECT_EQ(store.writeBytes(&b, 1), 0);
    EXPECT_EQ(store.reserveBytes(1), nullptr);
    EXPECT_EQ(store.seekWrite(10), 0);
    store.setLengthToPosition();
    store.endRecord();
    EXPECT_EQ(store.count(), 0);
}

TEST(RecordStore, SeekAndSetLengthShapeThePendingRecord) {
    RecordStore store(Memory::Procedure);
    store.beginRecord(1, 1);
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    store.writeBytes(bytes, 8);
    EXPECT_EQ(store.seekWrite(3), 3);
    store.setLengthToPosition();
    store.endRecord();
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.selectRecord(0)->length(), 3u);
    EXPECT_EQ(store.selectRecord(0)->version(), 1);
    EXPECT_EQ(store.seekWrite(5), 0);  // nothing pending any more

    store.beginRecord(1, 0);
    EXPECT_EQ(store.seekWrite(100000), 64975);
}

TEST(RecordStore, Truncate) {
    struct Case {
        int32_t index;
        int32_t countAfter;
    };
    const Case cases[] = {{-1, 3}, {0, 0}, {1, 1}, {2, 2}, {3, 3}};
    for (const Case& c : cases) {
        RecordStore store(Memory::Results);
        addRecord(store, 14, 10);  // share 34
        addRecord(store, 14, 3);   // share 28
        addRecord(store, 14, 7);   // share 32
        const uint32_t shares[] = {34, 28, 32};
        const uint64_t epoch = store.epoch();
        store.truncate(c.index);
        EXPECT_EQ(store.count(), c.countAfter) << c.index;
        uint32_t used = 0;
        for (int32_t i = 0; i < c.countAfter; ++i)
            used += shares[i];
        EXPECT_EQ(store.usedBytes(), used) << c.index;
        EXPECT_EQ(store.selectRecord(c.countAfter), nullptr);
        const uint32_t lengths[] = {10, 3, 7};
        if (c.countAfter > 0) {
            EXPECT_EQ(store.selectRecord(c.countAfter - 1)->length(), lengths[c.countAfter - 1]);
        }
        EXPECT_EQ(store.epoch() != epoch, c.countAfter < 3) << c.index;
        // The store goes on growing from the cut.
        EXPECT_EQ(addRecord(store, 13, 1), c.countAfter);
    }
}

TEST(RecordStore, TruncateDiscardsPendingRecordUnlessStoreIsEmpty) {
    RecordStore store(Memory::Procedure);
    store.beginRecord(10, 0);
    store.truncate(0);  // empty store: the pending record survives
    EXPECT_TRUE(store.hasPending());
    const uint8_t b = 7;
    store.writeBytes(&b, 1);
    store.endRecord();
    ASSERT_EQ(store.count(), 1);

    store.beginRecord(10, 0);
    store.truncate(0);
    EXPECT_FALSE(store.hasPending());
    EXPECT_EQ(store.count(), 0);
}

TEST(RecordStore, SelectRecordOutsideTheStore) {
    RecordStore store(Memory::Procedure);
    for (int i = 0; i < 4; ++i)
        addRecord(store, 14, i + 1, static_cast<uint8_t>(i * 10));
    EXPECT_EQ(store.selectRecord(-1), nullptr);
    EXPECT_EQ(store.selectRecord(4), nullptr);
    // Any order of look-ups finds the right record.
    for (int32_t i : {3, 0, 2, 1, 3, 3, 0}) {
        const Record* r = store.selectRecord(i);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->length(), static_cast<uint32_t>(i + 1));
        EXPECT_EQ(r->data()[0], i * 10);
    }
}

TEST(RecordStore, ResetEmptiesEverything) {
    RecordStore store(Memory::Procedure);
    addRecord(store, 14, 9);
    store.beginRecord(14, 0);
    store.reset();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.usedBytes(), 0u);
    EXPECT_FALSE(store.hasPending());
    EXPECT_EQ(store.format(nullptr, 0), 0);
    EXPECT_EQ(store.attach(nullptr, 0), 0);
    uint32_t size = 5;
    EXPECT_EQ(store.exportImage(&size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(MemoryImage, UsedBytesCountsBothHeaders) {
    MemoryImage image;
    EXPECT_EQ(image.usedBytes(), 44u);
    addRecord(image.procedure(), 13, 1);
    EXPECT_EQ(image.usedBytes(), 44u + 24u + 2u);
}

TEST(RecordRef, MakeResolveAndStep) {
    MemoryImage image;
    addRecord(image.procedure(), 14, 1);
    addRecord(image.procedure(), 11, 2);
    addRecord(image.results(), 7, 3);

    struct Case {
        Memory memory;
        int32_t index;
        RecordRef ref;
    };
    const Case cases[] = {
        {Memory::Procedure, 0, 0},         {Memory::Procedure, 1, 1},
        {Memory::Procedure, 2, kNoRecord}, {Memory::Procedure, -1, kNoRecord},
        {Memory::Results, 0, -1},          {Memory::Results, 1, kNoRecord},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(makeRef(image, c.memory, c.index), c.ref) << c.index;
    }
    EXPECT_EQ(refIndex(-1), 0);
    EXPECT_EQ(refIndex(-2), 1);
    EXPECT_EQ(refIndex(5), 5);
    EXPECT_TRUE(isResultsRef(-1));
    EXPECT_FALSE(isResultsRef(0));

    EXPECT_EQ(resolveRef(image, -1)->kind(), 7);
    EXPECT_EQ(resolveRef(image, 1)->kind(), 11);
    EXPECT_EQ(resolveRef(image, kNoRecord), nullptr);
    EXPECT_EQ(resolveRef(image, -2), nullptr);

    EXPECT_EQ(nextRef(image, 0), 1);
    EXPECT_EQ(nextRef(image, 1), kNoRecord);
    EXPECT_EQ(nextRef(image, -1), kNoRecord);
    EXPECT_EQ(nextRef(image, kNoRecord), kNoRecord);
}

}  // namespace
}  // namespace kvtlnk
