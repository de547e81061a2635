// Records in and out of the image as bytes: what a load keeps and a read gives back, and every
// bound of the three calls, each of which leaves the image as it was.
#include "memory/record_bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"

namespace kvtlnk {
namespace {

constexpr uint32_t kProcedure = 1;
constexpr uint32_t kResults = 2;

DateStamp clockStamp() {
    DateStamp s;
    s.year = 33, s.month = 6, s.day = 2;
    return s;
}

TEST(RecordBytes, ReadsBackWhatWasLoaded) {
    MemoryImage image;
    image.results().setStampClock(&clockStamp);
    const uint8_t unsetClock[7] = {61, 0, 25, 7, 0, 13, 255};  // kept as the calibrator gave it
    const Bytes data = {1, 2, 3, 4, 5};
    int32_t index = -2;
    ASSERT_EQ(loadRecord(image, kResults, 65535, 1, unsetClock, data.data(), 5, &index), KVTLNK_OK);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(loadRecord(image, kResults, 7, 0, nullptr, data.data(), 3, &index), KVTLNK_OK);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(image.results().usedBytes(), 30u + 28u);

    uint32_t kind = 0, version = 0, length = 0;
    uint8_t stamp[7] = {};
    Bytes back(5, 0xEE);
    // The length first, then the bytes; a buffer one short takes nothing.
    EXPECT_EQ(readRecord(image, kResults, 0, &kind, &version, stamp, &length, nullptr, 0),
              KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(kind, version, length), std::make_tuple(65535u, 1u, 5u));
    EXPECT_EQ(Bytes(stamp, stamp + 7), Bytes(unsetClock, unsetClock + 7));
    EXPECT_EQ(readRecord(image, kResults, 0, nullptr, nullptr, nullptr, &length, back.data(), 4),
              KVTLNK_E_ARGUMENT);
    EXPECT_EQ(std::make_tuple(length, back), std::make_tuple(5u, Bytes(5, 0xEE)));
    EXPECT_EQ(readRecord(image, kResults, 0, nullptr, nullptr, nullptr, nullptr, back.data(), 5),
              KVTLNK_OK);
    EXPECT_EQ(back, data);

    // Without a stamp the store's clock stamps it, as it does the records the library makes.
    EXPECT_EQ(readRecord(image, kResults, 1, &kind, &version, stamp, &length, back.data(), 5),
              KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(kind, version, length), std::make_tuple(7u, 0u, 3u));
    EXPECT_EQ(DateStamp::fromBytes(stamp), clockStamp());

    // No record there: the numbers cleared, the buffers untouched.
    back.assign(5, 0xEE);
    EXPECT_EQ(readRecord(image, kResults, 2, &kind, &version, stamp, &length, back.data(), 5),
              KVTLNK_E_RECORD);
    EXPECT_EQ(std::make_tuple(kind, version, length, back, DateStamp::fromBytes(stamp)),
              std::make_tuple(0u, 0u, 0u, Bytes(5, 0xEE), clockStamp()));
}

TEST(RecordBytes, RefusesEveryArgumentOutsideItsBoundsAndChangesNothing) {
    const Bytes big(RecordStore::kMaxData + 1, 0x55);
    const uint8_t* d = big.data();
    uint8_t buffer[8];
    const struct {
        const char* what;
        std::function<uint32_t(MemoryImage&)> call;
        uint32_t code;
    } cases[] = {
        {"load into memory 0",
         [&](MemoryImage& m) { return loadRecord(m, 0, 13, 0, nullptr, d, 1, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load into memory 3",
         [&](MemoryImage& m) { return loadRecord(m, 3, 13, 0, nullptr, d, 1, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load kind 65536",
         [&](MemoryImage& m) { return loadRecord(m, 1, 65536, 0, nullptr, d, 1, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load version 65536",
         [&](MemoryImage& m) { return loadRecord(m, 1, 13, 65536, nullptr, d, 1, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load no data",
         [&](MemoryImage& m) { return loadRecord(m, 1, 13, 0, nullptr, nullptr, 1, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load 0 bytes",
         [&](MemoryImage& m) { return loadRecord(m, 1, 13, 0, nullptr, d, 0, nullptr); },
         KVTLNK_E_ARGUMENT},
        {"load a byte past a record's most",
         [&](MemoryImage& m) {
             return loadRecord(m, 2, 13, 0, nullptr, d, RecordStore::kMaxData + 1, nullptr);
         },
         KVTLNK_E_ARGUMENT},
        {"read memory 0",
         [&](MemoryImage& m) {
             return readRecord(m, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
         },
         KVTLNK_E_ARGUMENT},
        {"read index -1",
         [&](MemoryImage& m) {
             return readRecord(m, 1, -1, nullptr, nullptr, nullptr, nullptr, buffer, 8);
         },
         KVTLNK_E_RECORD},
        {"read index count",
         [&](MemoryImage& m) {
             return readRecord(m, 1, 2, nullptr, nullptr, nullptr, nullptr, buffer, 8);
         },
         KVTLNK_E_RECORD},
        {"read an empty memory",
         [&](MemoryImage& m) {
             return readRecord(m, 2, 0, nullptr, nullptr, nullptr, nullptr, buffer, 8);
         },
         KVTLNK_E_RECORD},
        {"read into 0 bytes",
         [&](MemoryImage& m) {
             return readRecord(m, 1, 0, nullptr, nullptr, nullptr, nullptr, buffer, 0);
         },
         KVTLNK_E_ARGUMENT},
        {"truncate memory 0", [](MemoryImage& m) { return truncateRecords(m, 0, 0); },
         KVTLNK_E_ARGUMENT},
        {"truncate at -1", [](MemoryImage& m) { return truncateRecords(m, 1, -1); },
         KVTLNK_E_RECORD},
        {"truncate past the count", [](MemoryImage& m) { return truncateRecords(m, 1, 3); },
         KVTLNK_E_RECORD},
        {"truncate at the count", [](MemoryImage& m) { return truncateRecords(m, 1, 2); },
         KVTLNK_OK},
        {"truncate an empty memory", [](MemoryImage& m) { return truncateRecords(m, 2, 0); },
         KVTLNK_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryImage image;
        addRaw(image.procedure(), 13, {0});
        addRaw(image.procedure(), 14, {0, 0, 0, 0, 'a', 0});
        const uint32_t used = image.usedBytes();
        EXPECT_EQ(c.call(image), c.code);
        EXPECT_EQ(
            std::make_tuple(image.procedure().count(), image.results().count(), image.usedBytes()),
            std::make_tuple(2, 0, used));
    }
}

TEST(RecordBytes, LoadsARecordOfTheMostBytesAndCutsAMemoryBack) {
    MemoryImage image;
    const Bytes most(RecordStore::kMaxData, 0x55);
    int32_t index = -2;
    ASSERT_EQ(
        loadRecord(image, kProcedure, 0, 0, nullptr, most.data(), RecordStore::kMaxData, &index),
        KVTLNK_OK);
    ASSERT_EQ(loadRecord(image, kProcedure, 13, 0, nullptr, most.data(), 1, &index), KVTLNK_OK);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(bytesOf(*image.procedure().selectRecord(0)), most);
    // A refused load reports no index.
    EXPECT_EQ(loadRecord(image, kProcedure, 13, 0, nullptr, nullptr, 1, &index), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(truncateRecords(image, kProcedure, 1), KVTLNK_OK);
    EXPECT_EQ(image.procedure().count(), 1);
    EXPECT_EQ(truncateRecords(image, kProcedure, 0), KVTLNK_OK);
    EXPECT_EQ(image.usedBytes(), 2 * RecordStore::kStoreHeaderBytes);
}

}  // namespace
}  // namespace kvtlnk
