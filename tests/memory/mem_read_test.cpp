#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"

namespace kvtlnk {
namespace {

class MemRead : public ::testing::Test {
  protected:
    void SetUp() override { memClear(image); }
    MemoryImage image;
    char name[40] = "x";
};

TEST_F(MemRead, StrategiesTemplatesAndPrompts) {
    int32_t n = 0;
    float points[12] = {};
    points[4] = -1.0f;
    ASSERT_EQ(memStrategyInfo(image, 6, name, &n, 4, points), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(std::string(name), n, points[3], points[4]),
              std::make_tuple(std::string("11 \x8C"), 11, 0.3f, -1.0f));

    memTemplate(image, 5, 7, "first", "second", 3);                                           // 9
    memTemplate(image, 40, 0, "a", "b", 3);                                                   // 10
    memPrompt(image, "later");                                                                // 11
    memPrompt(image, "never");                                                                // 12
    memPromptDefn(image, promptFont(), "later", "abcd efgh ijkl mnop qrst uvwx yzab cdefg");  // 13
    uint32_t strategy = 0, flag = 0;
    char t2[33];
    EXPECT_EQ(memTemplateInfo(image, 9, &strategy, &flag, name, t2), KVTLNK_OK);
    EXPECT_EQ(std::make_tuple(strategy, flag, std::string(name) + "|" + t2),
              std::make_tuple(5u, 1u, std::string("first|second")));
    EXPECT_EQ(memTemplateInfo(image, 10, &strategy, &flag, name, t2), KVTLNK_E_RECORD);
    const int32_t lowest =
        addRaw(image.procedure(), TEMPLATE, {0x80, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0});
    EXPECT_EQ(memTemplateInfo(image, lowest, &strategy, &flag, name, t2), KVTLNK_E_RECORD);

    EXPECT_EQ(memPromptInfo(image, 11, name), KVTLNK_OK);
    EXPECT_STREQ(name, "later");
    EXPECT_EQ(memPromptInfo(image, 12, name), KVTLNK_E_RECORD);
    EXPECT_STREQ(name, "");

    uint32_t len = 0;
    char text[8] = "#######";
    EXPECT_EQ(memPromptDefnInfo(image, 13, name, &len, 5, text), KVTLNK_OK);
    EXPECT_EQ(std::string(text, 7) + std::to_string(len), std::string("abcd\0##4", 8));
}

// What every reader reports on records it cannot take: of another kind, truncated or corrupted.
TEST_F(MemRead, RefusesRecordsItCannotDecode) {
    const struct {
        const char* what;
        uint16_t kind;
        Bytes data;
    } records[] = {
        {"task end", TASK_END, {0}},
        {"negative point count", STRATEGY, {0, 0, 0xFF, 0xFF, 'n', 0}},
        {"points past the end", STRATEGY, {0, 0, 0, 3, 0, 0, 0, 0, 'n', 0}},
        {"strategy name unterminated", STRATEGY, {0, 0, 0, 1, 0, 0, 'n'}},
        {"task name unterminated", TASK_START, {0, 0, 'n'}},
        // The templates below also fail as strategies: a point count of -1 or 9.
        {"template cut before flag", TEMPLATE, {0, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"template text unterminated", TEMPLATE, {0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 1, 'a', 0, 'b'}},
        {"template strategy is a task end", TEMPLATE, {0, 0, 0, 9, 0, 0, 0, 0, 1, 0, 0}},
        {"template strategy in results", TEMPLATE, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 0, 0}},
        {"definition without text end", PROMPT_DEFN, {0, 0, 'u', 0, 'x'}},
        {"prompt unterminated", PROMPT, {'u'}},
        {"prompt of a definition that does not decode", PROMPT, {'u', 0}},
    };
    memEndTask(image);  // 9, named by a template above
    for (const auto& c : records) {
        const int32_t i = addRaw(image.procedure(), c.kind, c.data);
        SCOPED_TRACE(c.what);
        uint32_t word = 0, strategy = 7, flag = 7, len = 9;
        int32_t n = -7;
        char text[8] = "x";
        EXPECT_EQ(memTaskInfo(image, i, name, &word), KVTLNK_E_RECORD);
        EXPECT_EQ(std::string(name) + std::to_string(word), "4294967295");
        EXPECT_EQ(memStrategyInfo(image, i, name, &n, 0, nullptr), KVTLNK_E_RECORD);
        EXPECT_EQ(n, -7);  // untouched
        EXPECT_EQ(memTemplateInfo(image, i, &strategy, &flag, name, name), KVTLNK_E_RECORD);
        EXPECT_EQ(strategy, 7u);
        std::strcpy(name, "x");
        EXPECT_EQ(memPromptInfo(image, i, name), KVTLNK_E_RECORD);
        EXPECT_STREQ(name, "");
        std::strcpy(name, "x");
        EXPECT_EQ(memPromptDefnInfo(image, i, name, &len, sizeof text, text), KVTLNK_E_RECORD);
        EXPECT_EQ(std::string(name) + text + std::to_string(len), "0");
    }
}

// Texts of uploaded records can be longer than the library writes: outputs stay in bounds.
TEST_F(MemRead, LongUploadedTextsAreCut) {
    const std::string long40(40, 'L');
    const int32_t t = addRaw(image.procedure(), TASK_START, bytesOf("\x12\x34" + long40 + '\0'));
    const int32_t s = addRaw(image.procedure(), TASK_END,
                             bytesOf(std::string("\0\0\0\1\x27\x10", 6) + long40 + '\0'));
    std::memset(name, '#', sizeof name);
    uint32_t word = 0;
    EXPECT_EQ(memTaskInfo(image, t, name, &word), KVTLNK_OK);
    EXPECT_EQ(std::string(name, 34) + std::to_string(word),
              std::string(32, 'L') + std::string("\0#4660", 6));

    std::memset(name, '#', sizeof name);
    int32_t n = 0;
    float point = 0;
    EXPECT_EQ(memStrategyInfo(image, s, name, &n, 1, &point), KVTLNK_OK);  // any kind decodes
    EXPECT_EQ(std::string(name, 22) + std::to_string(point),
              std::string(20, 'L') + std::string("\0#1.000000", 10));
}

}  // namespace
}  // namespace kvtlnk
