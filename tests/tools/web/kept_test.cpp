// What the server keeps of the archive: made once, null and failures not kept, let go beyond its
// budget.
#include <gtest/gtest.h>

#include <stdexcept>

#include "kept.h"

namespace {

using kvtweb::Kept;

TEST(Kept, MadeOnceWhileWithinItsBudget) {
    Kept<std::string> kept(10, [](const std::string& s) { return s.size(); });
    int made = 0;
    const struct {
        const char* key;
        const char* value;  // what make gives; "" for nothing found
        const char* got;    // what get gives; "" for null
        int made;           // how many values were made by then
    } steps[] = {
        {"a", "12345", "12345", 1},
        {"a", "other", "12345", 1},    // kept
        {"b", "", "", 2},              // nothing found: not kept
        {"b", "found", "found", 3},    // so made when asked again
        {"c", "123456", "123456", 4},  // 10 kept: a new one lets all go first
        {"d", "1", "1", 5},
        {"a", "again", "again", 6},  // let go
    };
    for (const auto& step : steps) {
        const auto value = kept.get(step.key, [&]() -> std::shared_ptr<const std::string> {
            ++made;
            if (!*step.value) return nullptr;
            return std::make_shared<const std::string>(step.value);
        });
        EXPECT_EQ(value ? *value : "", step.got) << step.key;
        EXPECT_EQ(made, step.made) << step.key;
    }
    EXPECT_THROW(kept.get("e",
                          []() -> std::shared_ptr<const std::string> {
                              throw std::runtime_error("the archive went away");
                          }),
                 std::runtime_error);
    EXPECT_EQ(*kept.get("e", [] { return std::make_shared<const std::string>("back"); }), "back");
}

TEST(Kept, LetGoWhenTheStateMoves) {
    Kept<std::string> kept(1000, [](const std::string& s) { return s.size(); });
    int made = 0;
    const auto make = [&] { return std::make_shared<const std::string>(std::to_string(++made)); };
    kept.keepState("1");
    kept.get("a", make);
    kept.keepState("1");
    EXPECT_EQ(*kept.get("a", make), "1");
    kept.keepState("2");
    EXPECT_EQ(*kept.get("a", make), "2");
}

}  // namespace
