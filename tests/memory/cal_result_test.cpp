#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/setup_record.h"
#include "setup/commit.h"
#include "support/byte_order.h"

namespace kvtlnk {
namespace {

struct Entry {
    float values[4];
    uint8_t inRange, outRange, thirdFlag, firstFlag, secondFlag;
};

Bytes result(int32_t setup, uint16_t count, uint8_t flag, std::vector<Entry> entries,
             size_t tail = 0) {
    Bytes d(12 + 22 * entries.size() + tail, 0x11);
    storeU32(&d[0], static_cast<uint32_t>(setup));
    storeU32(&d[4], 0);  // strategy 0: three points
    storeU16(&d[8], count);
    d[10] = flag;
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* e = &d[12 + 22 * i];
        for (int v = 0; v < 4; ++v)
            storeF32(e + 4 * v, entries[i].values[v]);
        const Entry& x = entries[i];
        e[16] = x.inRange, e[17] = x.outRange, e[18] = x.thirdFlag, e[19] = x.firstFlag;
        e[20] = x.secondFlag;
    }
    return d;
}

// A 4-20 mA input against a 1-5 V source; its setup saved in the procedure memory (index 9)
// and copied into the results memory (index 0).
class CalResults : public ::testing::Test {
  protected:
    void SetUp() override {
        memClear(image);
        SetupState s;
        initSetup(s);
        s.inFunction = 1, s.inUnits = 2, s.outFunction = 2, s.outUnits = 1;
        s.inScaleOn = s.outScaleOn = 1;
        const Record& setup = *image.procedure().selectRecord(saveSetup(s, image.procedure()));
        memStartTask(image, "loop");                                             // 10
        memTemplate(image, 0, 0, "a", "b", 9);                                   // 11
        addRaw(image.results(), SETUP_5, bytesOf(setup));                        // 0
        addRaw(image.results(), CAL_RESULT_A, result(-1, 3, 0, entries));        // 1
        addRaw(image.results(), TAG_ID, bytesOf(std::string("T1\0a\0b\0", 7)));  // 2
        addRaw(image.results(), CAL_RESULT_B, result(9, 3, 1, entries));         // 3, flagged
    }
    MemoryImage image;
    const std::vector<Entry> entries = {{{12.5f, 2, 0.3f, 12.4f}, 5, 8, 0, 1, 1},
                                        {{13, 3, 0.25f, 13.5f}, 5, 8, 1, 0, 0},
                                        {{20, 5, 0, 20}, 6, 8, 1, 1, 1}};
};

TEST_F(CalResults, EntriesInBaseUnitsWithTheirRangeLimits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        int32_t result, entry;
        EntryValues v;
    } cases[] = {
        {1, 0, {0.0125f, 1, 0.0331f, 2, 1, 11.00001f, nan}},  // milliamps in range 5
        {1, 1, {0.013f, 0, 0.0331f, 3, 0, 11.00001f, 0.25f}},
        {1, 2, {0.02f, 1, 0.113f, 5, 1, 11.00001f, 0}},
        {3, 1, {0.0135f, 1, 0.0331f, 3, 0, 11.00001f, 0.25f}},  // flagged: the fourth value
    };
    theSetupState().setupCode = 77;
    for (const auto& c : cases) {
        EntryValues v;
        ASSERT_EQ(memCalResultEntry(image, c.result, c.entry, &v), KVTLNK_OK) << c.entry;
        const float got[] = {v.inValue, v.inLimit, v.outValue, v.outLimit, v.thirdValue};
        const float want[] = {c.v.inValue, c.v.inLimit, c.v.outValue, c.v.outLimit, c.v.thirdValue};
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(std::isnan(want[i])
                            ? std::isnan(got[i])
                            : std::fabs(got[i] - want[i]) <= 1e-6f * std::fabs(want[i]))
                << c.entry << " " << i << ": " << got[i];
        }
        EXPECT_EQ(v.inFlag, c.v.inFlag) << c.entry;
        EXPECT_EQ(v.outFlag, c.v.outFlag) << c.entry;
    }
    EXPECT_EQ(theSetupState().setupCode, 77u);  // decoded on an object of its own
    EntryValues v;
    for (int32_t entry : {-1, 3})
        EXPECT_EQ(memCalResultEntry(image, 1, entry, &v), KVTLNK_E_RECORD) << entry;
}

TEST_F(CalResults, TaskStrategyFlagAndTag) {
    uint32_t n = 0, task = 0, strategy = 9, flag = 9;
    EXPECT_EQ(memCalResult(image, 1, &n), KVTLNK_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(memAsflInfo(image, 1, &task, &strategy, &flag), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(task, strategy, flag), std::make_tuple(0xFFFFFFFFu, 0u, 0u));
    EXPECT_EQ(memAsflInfo(image, 3, &task, &strategy, &flag), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(task, flag), std::make_tuple(10u, 1u));  // its template's task

    char t[3][33] = {"x", "x", "x"};
    EXPECT_EQ(memTagidInfo(image, 1, t[0], t[1], t[2]), KVTLNK_OK);
    EXPECT_EQ(std::string(t[0]) + t[1] + t[2], "T1ab");
    for (uint32_t index : {3u, 0xFFFFFFFFu}) {
        EXPECT_EQ(memTagidInfo(image, index, t[0], t[1], t[2]), KVTLNK_E_NO_TAG);
        EXPECT_EQ(std::string(t[0]) + t[1] + t[2], "");
    }
    SetupState s;
    EXPECT_EQ(memBaseState(image, s, 1), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(s.inFunction, s.outFunction), std::make_tuple(1u, 2u));
    for (int32_t index : {0, 2, 4})
        EXPECT_EQ(memBaseState(image, s, index), KVTLNK_E_RECORD) << index;
}

// Truncated and corrupted results and tags: a clear code, never a read past the record.
TEST_F(CalResults, RecordsItCannotTake) {
    SetupState s;
    initSetup(s);
    s.inFunction = 14, s.outFunction = 10, s.inScaleOn = s.outScaleOn = 1;
    const Record& pressureTc = *image.procedure().selectRecord(saveSetup(s, image.procedure()));
    addRaw(image.results(), SETUP_5, bytesOf(pressureTc));  // 4
    Bytes full = result(-5, 3, 0, entries, 36 + 1 + 4);
    storeF32(&full[full.size() - 4], 21.5f);  // the reference-junction temperature
    for (size_t length = 0; length <= full.size(); ++length) {
        const int32_t i =
            addRaw(image.results(), CAL_RESULT_A, Bytes(full.begin(), full.begin() + length));
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, i, &n), length >= 12 + 66 + 36 ? KVTLNK_OK : KVTLNK_E_RECORD)
            << length;
    }
    EXPECT_EQ(memBaseState(image, s, image.results().count() - 1), KVTLNK_OK);
    EXPECT_EQ(s.outTrefValue, 21.5f);

    const Bytes tag = bytesOf(std::string("T\0a\0b\0", 6));
    for (size_t length = 0; length <= tag.size(); ++length) {
        const int32_t i = addRaw(image.results(), CAL_RESULT_A, result(-1, 3, 0, entries));
        addRaw(image.results(), TAG_ID, Bytes(tag.begin(), tag.begin() + length));
        char t[33];
        EXPECT_EQ(memTagidInfo(image, i, t, t, t), length == 6 ? KVTLNK_OK : KVTLNK_E_NO_TAG);
    }
    addRaw(image.results(), SETUP_5, Bytes(79, 0));  // a head cut short
    const int32_t cutSetup = -image.results().count();
    const Bytes corrupted[] = {
        result(-1, 4, 0, entries),       // one entry more than the strategy's points
        result(-1, 0xFFFF, 0, entries),  // more entries than the record holds
        result(-3, 3, 0, entries),       // its setup is a tag
        result(kNoRecord, 3, 0, entries), result(cutSetup, 3, 0, entries),
    };
    for (const Bytes& d : corrupted) {
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, addRaw(image.results(), CAL_RESULT_A, d), &n),
                  KVTLNK_E_RECORD);
    }
}

// The log a restore brings in, read through the exports.
TEST(Log, ReadersReportTheRestoredSamples) {
    float samples[3] = {1.5f, std::numeric_limits<float>::infinity(), -2.0f};
    SetupState s(samples, 3);
    initSetup(s);
    s.setupCode = 2, s.logCount = 3, s.logInterval = 10, s.logStartTime.year = 7;
    s.inScaleOn = s.outScaleOn = 1;
    MemoryImage scratch;
    const Record& saved = *scratch.procedure().selectRecord(saveSetup(s, scratch.procedure()));
    MEMclear();
    addRaw(theImage().results(), SETUP_4, bytesOf(saved));
    ASSERT_EQ(STArestore(0), KVTLNK_OK);
    uint32_t count = 0, interval = 0, requested = 9, year = 0, d = 0, valid = 9;
    STAgetLogData(&count, &interval, &requested);
    EXPECT_EQ(std::make_tuple(count, interval, requested), std::make_tuple(3u, 10u, 0u));
    STAgetLogStart(&year, &d, &d, &d, &d, &d);
    EXPECT_EQ(year, 1999u);
    float low = 0, high = 0, value = 9;
    STAgetLogMinMax(&low, &high);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(-2.0f, 1.5f));
    const struct {
        uint32_t index, result, valid;
        float value;
    } reads[] = {{1, KVTLNK_E_NO_VALUE, 0, 0}, {2, KVTLNK_OK, 1, -2}, {3, KVTLNK_E_NO_VALUE, 0, 0}};
    for (const auto& r : reads) {
        EXPECT_EQ(STAgetLoggedData(r.index, &valid, &value), r.result) << r.index;
        EXPECT_EQ(std::make_pair(valid, value), std::make_pair(r.valid, r.value)) << r.index;
    }
    MEMclear();
    STAinit();
}

}  // namespace
}  // namespace kvtlnk
