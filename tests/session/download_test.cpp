// What a download puts on the wire for a record, and which images a firmware level takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory/memory_image.h"
#include "memory/record_layout.h"
#include "session/session_calls.h"

namespace kvtlnk {
namespace {

const Record& addRecord(RecordStore& store, uint16_t kind, uint16_t version, uint32_t length) {
    const int32_t index = store.beginRecord(kind, version);
    uint8_t* data = store.reserveBytes(static_cast<int32_t>(length));
    for (uint32_t i = 0; i < length; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 1);
    store.endRecord();
    return *store.selectRecord(index);
}

std::vector<std::vector<uint8_t>> blocksOf(const Record& record, int32_t index) {
    std::vector<std::vector<uint8_t>> blocks;
    uint8_t out[kBlockHeader + kBlockData];
    for (uint32_t offset = 0; offset < record.length(); offset += kBlockData) {
        const uint16_t n = dataBlock(record, index, offset, out);
        blocks.emplace_back(out, out + n);
    }
    return blocks;
}

TEST(DataBlock, SplitsARecordIntoBlocksOfAtMost115Bytes) {
    RecordStore store(Memory::Procedure);
    const struct {
        uint32_t length;
        std::vector<size_t> blockSizes;
    } cases[] = {
        {1, {1}}, {115, {115}}, {116, {115, 1}}, {230, {115, 115}}, {231, {115, 115, 1}},
    };
    for (const auto& c : cases) {
        const Record& r = addRecord(store, PROMPT_DEFN, 0, c.length);
        const auto blocks = blocksOf(r, 0x01020304);
        ASSERT_EQ(blocks.size(), c.blockSizes.size()) << c.length;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const auto& block = blocks[b];
            const uint32_t offset = static_cast<uint32_t>(b * kBlockData);
            const uint8_t header[kBlockHeader] = {
                'm', 'b', 'p', 0, static_cast<uint8_t>(c.blockSizes[b]), 1, 2, 3,
                4,   0,   0,   0, static_cast<uint8_t>(offset)};
            ASSERT_EQ(block.size(), kBlockHeader + c.blockSizes[b]);
            EXPECT_TRUE(std::equal(header, header + kBlockHeader, block.begin()))
                << c.length << " block " << b;
            EXPECT_TRUE(std::equal(block.begin() + kBlockHeader, block.end(), r.data() + offset));
        }
    }
}

TEST(AllocateCommand, AnnouncesKindVersionAndLength) {
    RecordStore store(Memory::Procedure);
    char text[64];
    allocateCommand(addRecord(store, TEMPLATE, 0, 116), text, sizeof text);
    EXPECT_STREQ(text, "ma p,6,0,116");
    allocateCommand(addRecord(store, SETUP_3, 1, 64976), text, sizeof text);
    EXPECT_STREQ(text, "ma p,3,1,64976");
}

TEST(FirmwareCheck, LevelDecidesWhichImagesGo) {
    RecordStore empty(Memory::Procedure);
    RecordStore plain(Memory::Procedure);
    addRecord(plain, STRATEGY, 0, 10);
    addRecord(plain, SETUP_1, 0, 10);
    RecordStore laterSetup(Memory::Procedure);
    addRecord(laterSetup, STRATEGY, 0, 10);
    addRecord(laterSetup, SETUP_5, 1, 10);
    RecordStore versionedTask(Memory::Procedure);  // only saved setups carry the firmware rule
    addRecord(versionedTask, TASK_START, 1, 10);

    const struct {
        int32_t level;
        const RecordStore& store;
        uint32_t result;
    } cases[] = {
        {1, laterSetup, 0}, {0, plain, 0},     {0, laterSetup, 2005}, {0, versionedTask, 0},
        {-1, empty, 0},     {-1, plain, 2005}, {0, empty, 0},         {7, plain, 2005},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(firmwareCheck(c.level, c.store), c.result) << "level " << c.level;
    }
}

}  // namespace
}  // namespace kvtlnk
