#include "support/font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvtlnk {
namespace {

// The font of the calibrator's prompt area, which the library measures prompts in.
const ProportionalFont kPromptFont = ProportionalFont::helvr12();

TEST(Font, TextWidths) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},
        {"Hello", 24},
        {" \x80\x88", 7 + 1 + 3},
        {"\x81\x89\xB0", 11 + 5 + 5},
        {"\xFF\x90\x01", 6 + 13 + 1},
    };
    for (const auto& [text, width] : cases) {
        EXPECT_EQ(kPromptFont.textExtent(text).width(), width) << text;
        EXPECT_EQ(kPromptFont.textExtent(text).height(), 13) << text;
    }
}

struct Line {
    std::string text;
    int width;
    bool operator==(const Line& o) const { return text == o.text && width == o.width; }
};

TEST(Font, LineLayout) {
    std::string fox;
    for (int i = 0; i < 3; ++i)
        fox += "The quick brown fox jumps over the lazy dog. ";
    const std::string w22(22, 'W'), w23(23, 'W');
    struct Case {
        std::string text;
        std::vector<Line> lines;
        size_t end;
    };
    const std::vector<Case> cases = {
        // clang-format off
        {fox, {{"The quick brown fox jumps over the", 204}, {"lazy dog. The quick brown fox jumps", 208},
               {"over the lazy dog. The quick brown fox", 225}, {"jumps over the lazy dog.", 136}}, 135},
        {"A\n\nB", {{"A", 8}, {"", 0}, {"B", 7}}, 4},
        {"A \nB", {{"A", 8}, {"B", 7}}, 4},
        {"  AB", {{"  AB", 29}}, 4},
        {"A   ", {{"A", 8}}, 4},
        {"", {{"", 0}}, 0},
        {w22 + " W", {{w22, 220}, {"W", 10}}, 24},
        {"ab\200cd", {{"ab\200cd", 26}}, 5},
        {w22 + "\x80W", {{w22, 220}, {"W", 10}}, 24},
        {w23, {{"", 0}}, 0},  // a word wider than the line: no progress
        {"A\x88" + w23, {{"A", 8}, {"", 0}}, 2},
        // clang-format on
    };
    for (const Case& c : cases) {
        // Line by line to the end, or to a line that makes no progress.
        std::vector<char> buffer(c.text.size() + 2, '#');
        std::vector<Line> lines;
        size_t position = 0, before = 0;
        do {
            before = position;
            const Rect r = fitLine(kPromptFont, c.text.c_str(), &position, 229, buffer.data());
            lines.push_back({buffer.data(), r.width()});
        } while (position < c.text.size() && position != before);

        EXPECT_EQ(lines, c.lines) << c.text;
        EXPECT_EQ(position, c.end) << c.text;
    }
}

}  // namespace
}  // namespace kvtlnk
