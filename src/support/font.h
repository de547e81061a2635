#pragma once

#include <cstddef>
#include <cstdint>

namespace kvtlnk {

// A rectangle of display pixels, its first and last row and column (inclusive; rows count down).
// A rectangle whose right column is one left of its left column is empty.
struct Rect {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = -1;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// A font of the calibrator's display, of which the library only measures texts. The base class
// treats every character as one cell of the cell box.
class BitmapFont {
  public:
    explicit BitmapFont(Rect cellBox) : cellBox_(cellBox) {}
    virtual ~BitmapFont() = default;

    // The rectangle the first n characters of a text take on one display line.
    virtual Rect textExtent(const char* text, size_t n) const;
    // The same for a zero-terminated text.
    Rect textExtent(const char* text) const;

    // The extent of a line that is width pixels wide.
    Rect lineRect(int width) const;

  protected:
    // Pixels between two characters.
    int spacing() const { return cellBox_.left; }

  private:
    Rect cellBox_;
};

// A font whose characters have their own widths.
class ProportionalFont : public BitmapFont {
  public:
    ProportionalFont(Rect cellBox, const uint8_t* widths) : BitmapFont(cellBox), widths_(widths) {}

    // The font of the calibrator's prompt area, "helvr12", with FONT_WIDTHS.
    static ProportionalFont helvr12();

    using BitmapFont::textExtent;
    Rect textExtent(const char* text, size_t n) const override;
    int charWidth(uint8_t c) const { return widths_[c]; }

  private:
    const uint8_t* widths_;
};

// Pixel widths of the prompt font's 256 characters.
extern const uint8_t FONT_WIDTHS[256];

// Lays out one line of text from *position within maxWidth pixels, as the calibrator breaks its
// prompts: lines break only between words (separated by spaces, 0x80 or 0x88) or at a newline,
// which is consumed; spaces after the last word of a line are skipped. Copies the line into
// line (which must hold the rest of the text and two bytes more), advances *position to the
// first character of the next line and returns the line's extent. A word wider than the whole
// line gives an empty line without progress. A position beyond the text changes nothing.
Rect fitLine(const BitmapFont& font, const char* text, size_t* position, int16_t maxWidth,
             char* line);

}  // namespace kvtlnk
