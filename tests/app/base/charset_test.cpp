// The calibrator's own glyphs in files and on terminals.
#include "base/charset.h"

#include <gtest/gtest.h>

namespace {

TEST(Charset, GlyphsBothWaysAndCharactersTheDisplayLacks) {
    // The display's glyphs above 0x7F, and Latin-1 for the rest.
    const struct {
        unsigned char byte;
        const char* utf8;
    } glyphs[] = {
        {0x80, "\u2009"}, {0x81, "Ω"}, {0x88, "\u2008"}, {0x89, "₂"}, {0x8C, "↑"},
        {0x8D, "↓"},      {0xB0, "°"}, {0xB5, "µ"},      {0xE9, "é"}, {0x41, "A"},
    };
    for (const auto& g : glyphs) {
        const std::string byte(1, static_cast<char>(g.byte));
        EXPECT_EQ(kvtapp::toUtf8(byte), g.utf8) << int(g.byte);
        EXPECT_EQ(kvtapp::fromUtf8(g.utf8), byte) << int(g.byte);
    }
    EXPECT_EQ(kvtapp::fromUtf8("\u2126"), "\x81");  // the other ohm sign
    // Every byte comes back through UTF-8, so an uploaded name survives a file.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(kvtapp::fromUtf8(kvtapp::toUtf8(all)), all);
    EXPECT_EQ(kvtapp::displayWidth(kvtapp::toUtf8(all)), 255u);

    const char* refused[][2] = {
        {"€", "\"€\" (U+20AC), which the calibrator cannot show: write \"EUR\" instead"},
        {"–", "\"–\" (U+2013), which the calibrator cannot show: write \"-\" instead"},
        {"“", "\"“\" (U+201C), which the calibrator cannot show: write \"\"\" instead"},
        {"\u200B", "\"\u200B\" (U+200B), which the calibrator cannot show: leave it out"},
        {"✓", "\"✓\" (U+2713), which the calibrator cannot show"},
        // The byte 0x8C shows an arrow, not this control character.
        {"\u008C", "U+008C, which the calibrator cannot show"},
        {"\xC3", "a byte that is not UTF-8, which the calibrator cannot show"},
    };
    for (const auto& r : refused) {
        std::string named;
        EXPECT_FALSE(kvtapp::fromUtf8(r[0], &named).has_value()) << r[0];
        EXPECT_EQ(named, r[1]);
    }
}

}  // namespace
