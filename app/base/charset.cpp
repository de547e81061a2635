#include "base/charset.h"

#include <fmt/format.h>
#include <cstdint>

#include "kvtlnk/kvtlnk.h"

namespace kvtapp {
namespace {

// The display's own glyphs above 0x7F; every other byte stands for the Latin-1 code point of
// the same value.
struct Glyph {
    uint8_t byte;
    char32_t codePoint;
};
#define KVTCLI_GLYPH(byte, codePoint, shows) {byte, codePoint},
constexpr Glyph kGlyphs[] = {KVTLNK_GLYPHS(KVTCLI_GLYPH)};
#undef KVTCLI_GLYPH

// Characters that texts written elsewhere bring along and the display lacks, with the usual
// stand-in of its character set.
struct StandIn {
    char32_t codePoint;
    const char* instead;
};
constexpr StandIn kStandIns[] = {
    {0x2010, "-"},       {0x2011, "-"},      {0x2012, "-"},   {0x2013, "-"},  {0x2014, "-"},
    {0x2015, "-"},       {0x2212, "-"},      {0x2018, "'"},   {0x2019, "'"},  {0x201A, "'"},
    {0x2032, "'"},       {0x201C, "\""},     {0x201D, "\""},  {0x201E, "\""}, {0x2033, "\""},
    {0x2026, "..."},     {0x2022, "\u00b7"}, {0x20AC, "EUR"}, {0x2122, "TM"}, {0x2103, "\u00b0C"},
    {0x2109, "\u00b0F"}, {0x03BC, "\u00b5"}, {0x2264, "<="},  {0x2265, ">="}, {0x2192, "->"},
    {0x2190, "<-"},      {0x2002, " "},      {0x2003, " "},   {0x202F, " "},  {0x200B, ""},
};

// The first row of a byte is what it reads as.
char32_t codePointOf(uint8_t byte) {
    for (const Glyph& g : kGlyphs) {
        if (g.byte == byte) return g.codePoint;
    }
    return byte;
}

std::optional<uint8_t> byteOf(char32_t cp) {
    for (const Glyph& g : kGlyphs) {
        if (g.codePoint == cp) return g.byte;
    }
    if (cp <= 0xFF) {
        for (const Glyph& g : kGlyphs) {
            if (g.byte == cp) return std::nullopt;  // that byte shows another glyph
        }
        return static_cast<uint8_t>(cp);
    }
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp);

// Why a character has no byte of the display: quoted where it can be seen, with its code point
// and the stand-in to write instead.
std::string unshowable(char32_t cp) {
    std::string text = fmt::format("U+{:04X}", static_cast<unsigned>(cp));
    if (cp >= 0x20 && !(cp >= 0x7F && cp < 0xA0)) {
        std::string glyph;
        appendUtf8(glyph, cp);
        text = "\"" + glyph + "\" (" + text + ")";
    }
    text += ", which the calibrator cannot show";
    for (const StandIn& s : kStandIns) {
        if (s.codePoint != cp) continue;
        text += *s.instead == '\0' ? ": leave it out"
                                   : fmt::format(": write \"{}\" instead", s.instead);
    }
    return text;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at pos; nothing when it is malformed.
std::optional<char32_t> nextCodePoint(const std::string& s, size_t& pos) {
    const auto lead = static_cast<uint8_t>(s[pos++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return std::nullopt;
    }
    for (int i = 0; i < extra; ++i) {
        if (pos >= s.size()) return std::nullopt;
        const auto b = static_cast<uint8_t>(s[pos++]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp;
}

}  // namespace

std::string toUtf8(const std::string& calibratorText) {
    std::string out;
    out.reserve(calibratorText.size());
    for (char c : calibratorText)
        appendUtf8(out, codePointOf(static_cast<uint8_t>(c)));
    return out;
}

std::optional<std::string> fromUtf8(const std::string& utf8Text, std::string* badChar) {
    std::string out;
    size_t pos = 0;
    while (pos < utf8Text.size()) {
        const std::optional<char32_t> cp = nextCodePoint(utf8Text, pos);
        if (!cp) {
            if (badChar) *badChar = "a byte that is not UTF-8, which the calibrator cannot show";
            return std::nullopt;
        }
        const std::optional<uint8_t> b = byteOf(*cp);
        if (!b || *b == 0) {
            if (badChar) *badChar = unshowable(*cp);
            return std::nullopt;
        }
        out += static_cast<char>(*b);
    }
    return out;
}

size_t displayWidth(const std::string& utf8Text) {
    size_t n = 0;
    for (char c : utf8Text) {
        if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

}  // namespace kvtapp
