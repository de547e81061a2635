#include "common/json_text.h"

#include <gtest/gtest.h>

namespace kvttools {
namespace {

std::string problemOf(const std::string& text) {
    std::string reason, field;
    return parseJson(text, &reason, &field) ? "" : field + ": " + reason;
}

// Each problem named with the field it concerns; a key given twice is one, wherever it stands.
TEST(JsonText, ProblemsNameTheirField) {
    const std::string deep =
        std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']');
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {R"({"strategies": [{"name": "a"}], "strategies": []})",
         "strategies: is given twice in one object"},
        {R"({"setups": {"S": {"input": {}}, "S": {}}})", "setups.S: is given twice"},
        {R"({"tasks": [{"name": "T", "steps": [{}, {"prompt": "a", "prompt": "b"}]}]})",
         "tasks[0].steps[1].prompt: is given twice"},
        {R"([[1, 2], [3, 1e400]])", "[1][1]: is 1e400, a number beyond any"},
        {R"({"a": {"b": -1e999}})", "a.b: is -1e999, a number beyond any"},
        {deep, "[0][0][0]"},
        {"{\"a\": 1,}", "(file): not valid JSON: parse error at line 1, column 9"},
        {"\"\xff\"", "(file): not valid JSON: "},
        {"", "(file): not valid JSON: "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(problemOf(c.text).substr(0, c.problem.size()), c.problem) << c.text.substr(0, 60);
    }
    EXPECT_NE(problemOf(deep).find("deeper than 64 levels"), std::string::npos);
}

// Read as nlohmann reads it, order of members kept; the same key in two objects is no repeat.
TEST(JsonText, ReadsDocumentsWhole) {
    const std::string deepest = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
    for (const std::string& text : std::vector<std::string>{
             R"({"z": 1, "a": [true, null, -2, 18446744073709551615, 0.5, "\u001b"], "o": {}})",
             R"([{"name": "a"}, {"name": "b"}])", "7", deepest}) {
        std::string reason, field;
        const std::optional<Json> value = parseJson(text, &reason, &field);
        ASSERT_TRUE(value) << field << ": " << reason;
        EXPECT_EQ(*value, Json::parse(text));
        EXPECT_EQ(value->dump(), Json::parse(text).dump());
    }
}

}  // namespace
}  // namespace kvttools
