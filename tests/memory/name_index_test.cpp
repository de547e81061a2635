#include <gtest/gtest.h>

#include "memory/image_helpers.h"
#include "memory/record_layout.h"
#include "memory/record_views.h"

namespace kvtlnk {
namespace {

Bytes strategyNamed(char c) {
    return {0, 0, 0, 1, 0, 0, uint8_t(c), 0};
}

// The look-ups must agree with a walk from index 0 however the store changed in between.
TEST(NameIndex, FirstMatchFollowsTheStore) {
    MemoryImage image;
    RecordStore& p = image.procedure();
    addRaw(p, STRATEGY, strategyNamed('a'));          // 0
    addRaw(p, PROMPT_DEFN, {0, 0, 'a', 0, 0});        // 1
    addRaw(p, STRATEGY, strategyNamed('b'));          // 2
    addRaw(p, STRATEGY, strategyNamed('a'));          // 3: a second "a"
    addRaw(p, STRATEGY, {0, 0, 0, 9, 0, 0, 'c', 0});  // 4: points run past the end
    EXPECT_EQ(findStrategy(image, "a"), 0);
    EXPECT_EQ(findStrategy(image, "c"), -1);
    EXPECT_EQ(findPromptDefn(image, "a"), 1);
    EXPECT_EQ(findPromptDefn(image, "b"), -1);

    addRaw(p, STRATEGY, strategyNamed('c'));  // 5, after the look-ups
    EXPECT_EQ(findStrategy(image, "c"), 5);
    p.truncate(2);
    EXPECT_EQ(findStrategy(image, "b"), -1);
    addRaw(p, STRATEGY, strategyNamed('c'));  // 2
    EXPECT_EQ(findStrategy(image, "c"), 2);

    p.selectRecord(0)->data()[6] = 'z';  // rewritten in place by its owner, who says so
    p.dataChanged();
    EXPECT_EQ(findStrategy(image, "a"), -1);
    EXPECT_EQ(findStrategy(image, "z"), 0);
}

}  // namespace
}  // namespace kvtlnk
