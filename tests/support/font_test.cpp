#include "support/font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kvtlnk {
namespace {

TEST(Font, PromptFontMetrics) {
    const ProportionalFont& font = thePromptFont();
    EXPECT_STREQ(font.name(), "helvr12");
    EXPECT_EQ(font.cellBox().height(), 13);
    EXPECT_EQ(font.cellBox().width(), 9);
    EXPECT_EQ(font.bytesPerGlyph(), 26);
}

TEST(Font, TextWidths) {
    struct Case {
        const char* text;
        int width;
    };
    const Case cases[] = {
        {"", 0},
        {"Hello", 24},
        {" ", 7},
        {"\x80", 1},                   // narrow space
        {"\x88", 3},                   // space of the display font
        {"\x81\x89\xB0", 11 + 5 + 5},  // ohm, subscript two, degree
        {"WWWWWWWWWWWWWWWWWWWWWW", 220},
        {"\xFF\x90\x01", 6 + 13 + 1},
    };
    for (const Case& c : cases) {
        const Rect r = thePromptFont().textExtent(c.text);
        EXPECT_EQ(r.width(), c.width) << c.text;
        EXPECT_EQ(r.height(), 13) << c.text;
    }
}

TEST(Font, FixedCellFontMeasuresCells) {
    Rect cell;
    cell.c = 12;
    cell.d = 8;
    const BitmapFont fixed("cells", cell);
    EXPECT_EQ(fixed.textExtent("").width(), 0);
    EXPECT_EQ(fixed.textExtent("iW ").width(), 27);
}

struct Line {
    std::string text;
    int width;
};

// Lays the whole text out line by line, stopping at the end or at a line that makes no progress.
std::vector<Line> layOut(const std::string& text, size_t* end) {
    std::vector<Line> lines;
    std::vector<char> buffer(text.size() + 2, '#');
    size_t position = 0;
    size_t before = 0;
    do {
        before = position;
        const Rect r = fitLine(thePromptFont(), text.c_str(), &position, 229, buffer.data());
        lines.push_back({buffer.data(), r.width()});
    } while (position < text.size() && position != before);
    *end = position;
    return lines;
}

TEST(Font, LineLayout) {
    std::string fox;
    for (int i = 0; i < 3; ++i)
        fox += "The quick brown fox jumps over the lazy dog. ";
    const std::string w22(22, 'W');
    const std::string w23(23, 'W');
    struct Case {
        std::string text;
        std::vector<Line> lines;
        size_t end;
    };
    const std::vector<Case> cases = {
        {fox,
         {{"The quick brown fox jumps over the", 204},
          {"lazy dog. The quick brown fox jumps", 208},
          {"over the lazy dog. The quick brown fox", 225},
          {"jumps over the lazy dog.", 136}},
         135},
        {"A\n\nB", {{"A", 8}, {"", 0}, {"B", 7}}, 4},
        {"A \nB", {{"A", 8}, {"B", 7}}, 4},
        {"  AB", {{"  AB", 29}}, 4},
        {"A   ", {{"A", 8}}, 4},
        {"", {{"", 0}}, 0},
        {w22, {{w22, 220}}, 22},
        {w22 + " W", {{w22, 220}, {"W", 10}}, 24},
        // 0x80 separates words like a space but is 1 pixel wide.
        {"ab\x80"
         "cd",
         {{"ab\x80"
           "cd",
           7 + 6 + 1 + 6 + 6}},
         5},
        {w22 + "\x80W", {{w22, 220}, {"W", 10}}, 24},
        // A word wider than the line: an empty line and no progress.
        {w23, {{"", 0}}, 0},
        {"A\x88" + w23, {{"A", 8}, {"", 0}}, 2},
    };
    for (const Case& c : cases) {
        size_t end = 0;
        const std::vector<Line> lines = layOut(c.text, &end);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.text;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, c.lines[i].text) << c.text << " line " << i;
            EXPECT_EQ(lines[i].width, c.lines[i].width) << c.text << " line " << i;
        }
        EXPECT_EQ(end, c.end) << c.text;
    }
}

TEST(Font, PositionBeyondTheTextChangesNothing) {
    char line[4] = "xyz";
    size_t position = 3;
    const Rect r = fitLine(thePromptFont(), "AB", &position, 229, line);
    EXPECT_EQ(r.width(), 0);
    EXPECT_EQ(position, 3u);
    EXPECT_STREQ(line, "xyz");
}

}  // namespace
}  // namespace kvtlnk
