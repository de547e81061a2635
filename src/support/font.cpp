#include "support/font.h"

#include <cstring>

namespace kvtlnk {

// clang-format off
const uint8_t FONT_WIDTHS[256] = {
    1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,   // 0x
    1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,   // 1x
    7,  2,  4,  7,  6,  10, 8,  3,  4,  4,  7,  7,  4,  7,  4,  5,   // 2x
    7,  7,  7,  7,  7,  7,  7,  7,  7,  7,  2,  3,  7,  6,  7,  6,   // 3x
    11, 8,  7,  8,  8,  7,  7,  8,  8,  2,  6,  8,  6,  10, 8,  9,   // 4x
    7,  9,  7,  7,  8,  7,  8,  10, 8,  8,  8,  3,  5,  3,  6,  8,   // 5x
    3,  7,  6,  6,  6,  6,  5,  6,  6,  2,  3,  6,  2,  8,  6,  6,   // 6x
    6,  6,  4,  5,  4,  6,  6,  10, 7,  6,  5,  5,  2,  5,  7,  1,   // 7x
    1,  11, 9,  9,  1,  1,  1,  1,  3,  5,  1,  1,  6,  6,  7,  7,   // 8x
    13, 9,  9,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,   // 9x
    1,  2,  6,  6,  7,  6,  2,  6,  4,  10, 4,  6,  7,  1,  10, 5,   // Ax
    5,  6,  5,  4,  3,  6,  7,  2,  4,  3,  4,  6,  10, 10, 10, 6,   // Bx
    8,  8,  8,  8,  8,  8,  10, 8,  7,  7,  7,  7,  3,  3,  4,  4,   // Cx
    9,  8,  9,  9,  9,  9,  9,  6,  11, 7,  7,  7,  7,  8,  7,  6,   // Dx
    7,  7,  7,  7,  7,  7,  10, 6,  6,  6,  6,  6,  3,  3,  4,  4,   // Ex
    6,  6,  6,  6,  6,  6,  6,  6,  8,  6,  6,  6,  6,  6,  6,  6};  // Fx
// clang-format on

Rect BitmapFont::lineRect(int width) const {
    Rect r;
    r.bottom = static_cast<int16_t>(cellBox_.height() - 1);
    r.right = static_cast<int16_t>(width - 1);
    return r;
}

Rect BitmapFont::textExtent(const char*, size_t n) const {
    if (n == 0) return lineRect(0);
    const int cell = cellBox_.width();
    return lineRect((spacing() + cell) * static_cast<int>(n) - spacing());
}

Rect BitmapFont::textExtent(const char* text) const {
    return textExtent(text, std::strlen(text));
}

ProportionalFont ProportionalFont::helvr12() {
    Rect cell;
    cell.bottom = 12;  // 13 rows
    cell.right = 8;    // 9 columns
    return ProportionalFont(cell, FONT_WIDTHS);
}

Rect ProportionalFont::textExtent(const char* text, size_t n) const {
    if (n == 0) return lineRect(0);
    int width = spacing() * static_cast<int>(n - 1);
    for (size_t i = 0; i < n; ++i)
        width += charWidth(static_cast<uint8_t>(text[i]));
    return lineRect(width);
}

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\x80' || c == '\x88';
}

bool isLineEnd(char c) {
    return c == '\0' || c == '\n';
}

}  // namespace

Rect fitLine(const BitmapFont& font, const char* text, size_t* position, int16_t maxWidth,
             char* line) {
    if (*position > std::strlen(text)) return font.lineRect(0);

    enum class State { Word, Spaces, Done };
    const char* from = text + *position;
    State state = State::Word;
    size_t end = 0;      // characters in the line buffer
    size_t mark = 0;     // the line ends here unless a later word fits
    size_t spaces = 0;   // separators after the last accepted word
    size_t newline = 0;  // 1 when the line ends at a newline that is consumed
    int lineWidth = 0;

    for (size_t i = 0; state != State::Done; ++i) {
        const char c = from[i];
        if (state == State::Word) {
            if (isSeparator(c) || isLineEnd(c)) {
                // The preceding separators and the word must fit together.
                const int segment = font.textExtent(line + mark, end - mark).width();
                if (lineWidth + segment <= maxWidth) {
                    lineWidth += segment;
                    mark = end;
                    if (isLineEnd(c)) {
                        newline = c == '\n';
                        spaces = 0;
                        state = State::Done;
                    } else {
                        spaces = 1;
                        state = State::Spaces;
                    }
                } else {
                    state = State::Done;
                }
            }
        } else if (isLineEnd(c)) {
            newline = c == '\n';
            state = State::Done;
        } else if (isSeparator(c)) {
            ++spaces;
        } else {
            state = State::Word;
        }
        if (state != State::Done) line[end++] = c;
    }

    line[mark] = '\0';
    *position += mark + spaces + newline;
    return font.lineRect(lineWidth);
}

}  // namespace kvtlnk
