#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"

namespace kvtlnk {
namespace {

TEST(MemDefine, ClearLaysDownTheStandardStrategies) {
    MemoryImage image;
    addRaw(image.results(), TAG_ID, {'a', 0, 'b', 0, 'c', 0});
    addRaw(image.procedure(), TASK_END, {0});
    memClear(image);
    const std::string names[] = {"3 \x8C",     "3 \x8D",  "3 \x8C\x8D", "5 \x8C",     "5 \x8D",
                                 "5 \x8C\x8D", "11 \x8C", "11 \x8D",    "11 \x8C\x8D"};
    const uint8_t counts[] = {3, 3, 5, 5, 5, 9, 11, 11, 21};
    ASSERT_EQ(std::make_pair(image.procedure().count(), image.results().count()),
              std::make_pair(9, 0));
    for (int i = 0; i < 9; ++i) {
        const Bytes data = bytesOf(*image.procedure().selectRecord(i));
        EXPECT_EQ(
            std::make_pair(data[3], std::string(data.end() - names[i].size() - 1, data.end())),
            std::make_pair(counts[i], names[i] + '\0'));
    }
    // The 21 points of the last one rise and fall again: point 12 is 0.8 (0x1F40).
    EXPECT_EQ(bytesOf(*image.procedure().selectRecord(8)).at(4 + 2 * 12 + 1), 0x40);
    EXPECT_EQ(image.usedBytes(), 44u + 9 * 24 + 14 + 14 + 20 + 18 + 18 + 28 + 32 + 32 + 52);
}

TEST(MemDefine, StrategyDefinitionResults) {
    const struct {
        std::string name;
        int32_t n;
        std::vector<float> points;
        uint32_t result;
        Bytes points16;  // stored when it succeeds
    } cases[] = {
        {std::string(20, 'n'), 2, {0.25f, 1.0f}, KVTLNK_OK, {0x09, 0xC4, 0x27, 0x10}},
        {"z", 2, {3.0f, 0.1f}, KVTLNK_OK, {0x75, 0x30, 0x03, 0xE8}},
        {std::string(21, 'n'), 1, {0.0f}, KVTLNK_E_TOO_LONG, {}},
        {"", 1, {0.0f}, KVTLNK_E_IMAGE, {}},
        {"z", 0, {}, KVTLNK_E_IMAGE, {}},
        {"z", 32001, std::vector<float>(32001, 0.5f), KVTLNK_E_IMAGE, {}},
        {"z", 2, {0.5f, -0.01f}, KVTLNK_E_STRATEGY_POINT, {}},
        {"z", 1, {3.01f}, KVTLNK_E_STRATEGY_POINT, {}},
        {"z", 1, {std::nanf("")}, KVTLNK_E_STRATEGY_POINT, {}},
        // The count goes in as a 16-bit number: 65,538 defines 2 points and refuses the third.
        {"z", 65538, std::vector<float>(65538, 0.5f), KVTLNK_E_STRATEGY_POINT, {}},
    };
    for (const auto& c : cases) {
        MemoryImage image;
        memClear(image);
        uint32_t index = 77;
        EXPECT_EQ(memStrategyDefn(image, &index, c.name.c_str(), c.n, c.points.data()), c.result)
            << c.name << " " << c.n;
        EXPECT_EQ(image.procedure().count(), c.result == KVTLNK_OK ? 10 : 9) << c.n;
        if (c.result != KVTLNK_OK) continue;
        EXPECT_EQ(index, 9u);
        Bytes expected = {0, 0, 0, uint8_t(c.n)};
        expected.insert(expected.end(), c.points16.begin(), c.points16.end());
        expected.insert(expected.end(), c.name.begin(), c.name.end());
        expected.push_back(0);
        EXPECT_EQ(bytesOf(*image.procedure().selectRecord(9)), expected);
    }
}

TEST(MemDefine, RedefiningAStrategyReusesItsRecord) {
    MemoryImage image;
    memClear(image);
    const float first[] = {0.1f, 0.2f}, second[] = {0.9f, 0.8f}, bad[] = {0.5f, 4.0f};
    uint32_t index = 0;
    ASSERT_EQ(memStrategyDefn(image, &index, "twice", 2, first), KVTLNK_OK);
    memEndTask(image);

    index = 0;
    EXPECT_EQ(memStrategyDefn(image, &index, "twice", 2, second), KVTLNK_OK);
    EXPECT_EQ(std::make_pair(index, image.procedure().count()), std::make_pair(9u, 11));
    EXPECT_EQ(bytesOf(*image.procedure().selectRecord(9)).at(5), 0x28);  // 9000 = 0x2328
    EXPECT_EQ(memStrategyDefn(image, &index, "twice", 1, second), KVTLNK_E_IMAGE);
    EXPECT_EQ(memStrategyDefn(image, &index, "3 \x8C", 2, second), KVTLNK_E_IMAGE);

    // A refused point removes the strategy and everything after it.
    EXPECT_EQ(memStrategyDefn(image, &index, "twice", 2, bad), KVTLNK_E_STRATEGY_POINT);
    EXPECT_EQ(memStrategyDefn(image, &index, "twice", 1, first), KVTLNK_OK);
    EXPECT_EQ(std::make_pair(index, image.procedure().count()), std::make_pair(9u, 10));
}

TEST(MemDefine, RecordLayouts) {
    MemoryImage image;
    const std::string s32(32, 'a'), s33(33, 'a');
    const struct {
        uint32_t result;
        uint16_t kind;
        Bytes data;
    } cases[] = {
        {memEndTask(image), TASK_END, {0}},
        {memTemplate(image, 3, 7, "x", "yz", 9),
         TEMPLATE,
         {0, 0, 0, 3, 0, 0, 0, 9, 1, 'x', 0, 'y', 'z', 0}},
        {memTemplate(image, 0x01020304, 0, "", "", 0xFFFFFFFF),
         TEMPLATE,
         {1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}},
        {memPrompt(image, "ab"), PROMPT, {'a', 'b', 0}},
        {memStartTask(image, "T1"), TASK_START, {0, 0, 'T', '1', 0}},
        {memPromptDefn(image, promptFont(), "N", "Hi"), PROMPT_DEFN, {0, 0, 'N', 0, 'H', 'i', 0}},
        {memStartTask(image, s32.c_str()), TASK_START, bytesOf(std::string(2, '\0') + s32 + '\0')},
    };
    ASSERT_EQ(image.procedure().count(), 7);
    for (int i = 0; i < 7; ++i) {
        const Record& r = *image.procedure().selectRecord(i);
        EXPECT_EQ(std::make_tuple(cases[i].result, r.kind(), bytesOf(r)),
                  std::make_tuple(KVTLNK_OK, cases[i].kind, cases[i].data))
            << i;
    }
    // Over 32 characters nothing is added.
    const char* t = s33.c_str();
    for (uint32_t result :
         {memStartTask(image, t), memPrompt(image, t), memPromptDefn(image, promptFont(), t, ""),
          memTemplate(image, 0, 0, t, "", 0), memTemplate(image, 0, 0, "", t, 0)})
        EXPECT_EQ(result, KVTLNK_E_TOO_LONG);
    EXPECT_EQ(image.procedure().count(), 7);
}

}  // namespace
}  // namespace kvtlnk
