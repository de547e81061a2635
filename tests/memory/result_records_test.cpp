// The records a calibration result rests on, in an image whose indexes are known: results run
// with a procedure setup, with the calibrator's copy of it, with and without a tag, inside and
// outside a task, and results that do not decode.
#include "memory/result_records.h"

#include <gtest/gtest.h>

#include <string>
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

constexpr RecordRef kNone = kNoRecord;

// The data of a calibration result of three entries: its setup and strategy references, its
// mark.
Bytes result(RecordRef setup, RecordRef strategy, uint8_t flag) {
    Bytes d(12 + 3 * kResultEntryBytes);
    storeU32(&d[0], static_cast<uint32_t>(setup));
    storeU32(&d[4], static_cast<uint32_t>(strategy));
    storeU16(&d[8], 3);
    d[10] = flag;
    return d;
}

Bytes tag(const char* text1, const char* text2) {
    return bytesOf(std::string(text1) + '\0' + text2 + '\0' + "serial" + '\0');
}

// Procedure: the standard strategies 0-8; setup 9; task 10 with the test 11 of setup 9;
// the task's end 12; setup 13 and test 14 of it outside any task. Tests 11 and 14 share
// strategy 0 and the first text, and differ in mark and second text.
class ResultRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        memClear(image);
        SetupState s;
        initSetup(s);
        ASSERT_EQ(saveSetup(s, image.procedure()), 9);
        memStartTask(image, "task");
        memTemplate(image, 0, 0, "item", "one", 9);
        memEndTask(image);
        ASSERT_EQ(saveSetup(s, image.procedure()), 13);
        memTemplate(image, 0, 1, "item", "two", 13);
        ASSERT_EQ(image.procedure().count(), 15);
        // The calibrator's copy of setup 9 heads the results memory.
        addRaw(image.results(), SETUP_5, bytesOf(*image.procedure().selectRecord(9)));
    }
    MemoryImage image;
};

TEST_F(ResultRecordsTest, FindsEachRecordByTheResultsReferencesItsTagAndItsTest) {
    RecordStore& r = image.results();
    addRaw(r, CAL_RESULT_A, result(9, 0, 0));     // 1: run with procedure setup 9
    addRaw(r, TAG_ID, tag("item", "one"));        // 2
    addRaw(r, CAL_RESULT_B, result(-1, 0, 0));    // 3: run with the copy: the test by its texts
    addRaw(r, TAG_ID, tag("item", "one"));        // 4
    addRaw(r, CAL_RESULT_A, result(13, 0, 1));    // 5: outside a task, no tag after it
    addRaw(r, CAL_RESULT_A, result(-1, 0, 1));    // 6: the copy, no tag: every test has texts
    addRaw(r, CAL_RESULT_A, result(500, 77, 0));  // 7: names no records
    addRaw(r, CAL_RESULT_A, Bytes{0, 0, 0, 9, 0, 0, 0});  // 8: ends inside its strategy
    addRaw(r, CAL_RESULT_A, Bytes(8, 0));                 // 9: both references, no mark
    addRaw(r, CAL_RESULT_A, result(9, 0, 1));             // 10: setup 9, but a mark its test lacks
    addRaw(r, CAL_RESULT_A, result(-1, 0, 1));  // 11: the copy, marked, an unmarked test's tag
    addRaw(r, TAG_ID, tag("item", "one"));      // 12
    const struct {
        int32_t index;
        bool found;
        ResultRecords records;  // setup, strategy, test, test's setup, task, tag
    } cases[] = {
        {1, true, {9, 0, 11, 9, 10, -3}},
        {3, true, {-1, 0, 11, 9, 10, -5}},
        {5, true, {13, 0, 14, 13, kNone, kNone}},
        {6, true, {-1, 0, kNone, kNone, kNone, kNone}},
        {7, true, {kNone, kNone, kNone, kNone, kNone, kNone}},
        {8, false, {}},
        {9, true, {0, 0, kNone, kNone, kNone, kNone}},
        {10, true, {9, 0, 11, 9, 10, kNone}},
        {11, true, {-1, 0, kNone, kNone, kNone, -13}},
        {0, false, {}},   // a setup
        {2, false, {}},   // a tag
        {-1, false, {}},  // no record
        {13, false, {}},
    };
    const auto tie = [](const ResultRecords& x) {
        return std::make_tuple(x.setup, x.strategy, x.templ, x.templateSetup, x.task, x.tag);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        ResultRecords found;
        found.setup = 42;
        EXPECT_EQ(findResultRecords(image, c.index, &found), c.found);
        EXPECT_EQ(tie(found), tie(c.records));
    }
}

TEST_F(ResultRecordsTest, ReportsARoleAsItsMemoryAndIndex) {
    addRaw(image.results(), CAL_RESULT_A, result(-1, 0, 0));  // 1, run with the copy
    addRaw(image.results(), TAG_ID, tag("item", "one"));      // 2
    const struct {
        uint32_t role;
        uint32_t code;
        uint32_t memory;
        int32_t index;
    } cases[] = {
        {0, KVTLNK_OK, 2, 0},          {1, KVTLNK_OK, 1, 0},  {2, KVTLNK_OK, 1, 11},
        {3, KVTLNK_OK, 1, 9},          {4, KVTLNK_OK, 1, 10}, {5, KVTLNK_OK, 2, 2},
        {6, KVTLNK_E_ARGUMENT, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.role);
        uint32_t memory = 9;
        int32_t index = 9;
        EXPECT_EQ(resultRecord(image, 1, c.role, &memory, &index), c.code);
        EXPECT_EQ(std::make_tuple(memory, index), std::make_tuple(c.memory, c.index));
    }
    uint32_t memory = 9;
    int32_t index = 9;
    EXPECT_EQ(resultRecord(image, 2, 0, &memory, &index), KVTLNK_E_RECORD);
    EXPECT_EQ(std::make_tuple(memory, index), std::make_tuple(0u, -1));
    // A test without a task, and a result without a tag: none, and the call succeeds.
    addRaw(image.results(), CAL_RESULT_A, result(13, 0, 1));  // 3
    EXPECT_EQ(resultRecord(image, 3, 4, &memory, &index), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(memory, index), std::make_tuple(0u, -1));
    EXPECT_EQ(resultRecord(image, 3, 5, nullptr, nullptr), KVTLNK_OK);
}

}  // namespace
}  // namespace kvtlnk
