#include <gtest/gtest.h>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/setup_record.h"
#include "setup/commit.h"
#include "support/byte_order.h"

namespace kvtlnk {
namespace {

// A result of strategy 0 (three points) with entries of zeros and tail bytes after them.
Bytes result(int32_t setup, uint16_t count, uint8_t flag = 0, size_t tail = 0) {
    Bytes d(12 + 3 * 22 + tail, 0);
    storeU32(&d[0], static_cast<uint32_t>(setup));
    storeU16(&d[8], count);
    d[10] = flag;
    return d;
}

// A result of a 4-20 mA input against a dcv source, its setup copied into the results memory.
// What decoding reports of results the emulator made is checked in results_e2e_test.cpp.
class CalResults : public ::testing::Test {
  protected:
    void SetUp() override {
        memClear(image);
        addRaw(image.results(), SETUP_5, bytesOf(saved(1, 2, 2, 1)));            // 0
        addRaw(image.results(), CAL_RESULT_A, result(-1, 3));                    // 1
        addRaw(image.results(), TAG_ID, bytesOf(std::string("T1\0a\0b\0", 7)));  // 2
    }
    // A setup saved in the procedure memory (9 the first time).
    const Record& saved(uint32_t in, uint32_t inUnits, uint32_t out, uint32_t outUnits) {
        SetupState s;
        initSetup(s);
        s.inFunction = in, s.inUnits = inUnits, s.outFunction = out, s.outUnits = outUnits;
        s.inScaleOn = s.outScaleOn = 1;
        return *image.procedure().selectRecord(saveSetup(s, image.procedure()));
    }
    MemoryImage image;
};

TEST_F(CalResults, CallsOnOtherRecordsAndIndices) {
    SetupState s;
    for (int32_t index : {0, 2, 3})
        EXPECT_EQ(memBaseState(image, s, index), KVTLNK_E_RECORD) << index;
    char t[3][33] = {"x", "x", "x"};
    EXPECT_EQ(memTagidInfo(image, 0xFFFFFFFF, t[0], t[1], t[2]), KVTLNK_E_NO_TAG);
    EXPECT_EQ(std::string(t[0]) + t[1] + t[2], "");
    theSetupState().setupCode = 77;
    EntryValues v;
    EXPECT_EQ(memCalResultEntry(image, 1, 2, &v), KVTLNK_OK);
    EXPECT_EQ(theSetupState().setupCode, 77u);  // decoded on an object of its own
    EXPECT_EQ(memCalResultEntry(image, 1, -1, &v), KVTLNK_E_RECORD);
}

// Truncated and corrupted results and tags: a clear code, never a read past the record.
TEST_F(CalResults, RecordsItCannotTake) {
    const int32_t setup = addRaw(image.results(), SETUP_5, bytesOf(saved(14, 9, 10, 6)));
    Bytes full = result(-setup - 1, 3, 0, 36 + 1 + 4);  // pressure in, tc out: module, its
                                                        // presence, junction temperature
    storeF32(&full[full.size() - 4], 21.5f);
    for (size_t length = 0; length <= full.size(); ++length) {
        const int32_t i =
            addRaw(image.results(), CAL_RESULT_A, Bytes(full.begin(), full.begin() + length));
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, i, &n), length >= 12 + 66 + 36 ? KVTLNK_OK : KVTLNK_E_RECORD)
            << length;
    }
    SetupState s;
    EXPECT_EQ(memBaseState(image, s, image.results().count() - 1), KVTLNK_OK);
    EXPECT_EQ(s.outTrefValue, 21.5f);

    const Bytes tag = bytesOf(std::string("T\0a\0b\0", 6));
    for (size_t length = 0; length <= tag.size(); ++length) {
        const int32_t i = addRaw(image.results(), CAL_RESULT_A, result(-1, 3));
        addRaw(image.results(), TAG_ID, Bytes(tag.begin(), tag.begin() + length));
        char t[33];
        EXPECT_EQ(memTagidInfo(image, i, t, t, t), length == 6 ? KVTLNK_OK : KVTLNK_E_NO_TAG);
    }
    addRaw(image.results(), SETUP_5, Bytes(79, 0));  // a head cut short
    const Bytes corrupted[] = {
        result(-1, 4),       // one entry more than the strategy's points
        result(-1, 0xFFFF),  // more entries than the record holds
        result(-3, 3),       // its setup is a tag
        result(kNoRecord, 3), result(-image.results().count(), 3),
    };
    for (const Bytes& d : corrupted) {
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, addRaw(image.results(), CAL_RESULT_A, d), &n),
                  KVTLNK_E_RECORD);
    }
}

}  // namespace
}  // namespace kvtlnk
