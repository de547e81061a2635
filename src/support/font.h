#pragma once

#include <cstddef>
#include <cstdint>

namespace kvtlnk {

// A rectangle of display pixels: (a, b) is its first corner, (c, d) its last; a and c count rows
// down, b and d columns across. A rectangle with d = b - 1 is empty.
struct Rect {
    int16_t a = 0;
    int16_t b = 0;
    int16_t c = 0;
    int16_t d = -1;

    int width() const { return d - b + 1; }
    int height() const { return c - a + 1; }
};

// A font of the calibrator's display, of which the library only measures texts. The base class
// treats every character as one cell of the cell box.
class BitmapFont {
  public:
    BitmapFont(const char* name, Rect cellBox);
    virtual ~BitmapFont() = default;

    // The rectangle the first n characters of a text take on one display line.
    virtual Rect textExtent(const char* text, size_t n) const;
    // The same for a zero-terminated text.
    Rect textExtent(const char* text) const;

    const char* name() const { return name_; }
    const Rect& cellBox() const { return cellBox_; }
    int bytesPerGlyph() const;
    // The extent of a line that is width pixels wide.
    Rect lineRect(int width) const;

  protected:
    // Pixels between two characters.
    int spacing() const { return cellBox_.b; }

  private:
    const char* name_;
    Rect cellBox_;
};

// A font whose characters have their own widths.
class ProportionalFont : public BitmapFont {
  public:
    ProportionalFont(const char* name, Rect cellBox, const uint8_t* widths);

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

// The process-wide prompt font, constructed at load.
const ProportionalFont& thePromptFont();

// Lays out one line of text from *position within maxWidth pixels, as the calibrator breaks its
// prompts: lines break only between words (separated by spaces, 0x80 or 0x88) or at a newline,
// which is consumed; spaces after the last word of a line are skipped. Copies the line into
// line (which must hold the rest of the text and two bytes more), advances *position to the
// first character of the next line and returns the line's extent. A word wider than the whole
// line gives an empty line without progress. A position beyond the text changes nothing.
Rect fitLine(const BitmapFont& font, const char* text, size_t* position, int16_t maxWidth,
             char* line);

}  // namespace kvtlnk
