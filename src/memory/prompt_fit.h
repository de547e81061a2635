#pragma once

#include <cstdint>

#include "support/font.h"

namespace kvtlnk {

// The calibrator's prompt area: 10 lines of 229 pixels, and no line of 64 characters or more.
constexpr int kPromptLines = 10;
constexpr int16_t kPromptLineWidth = 229;
constexpr uint32_t kPromptLineChars = 64;

struct PromptFit {
    bool fits = false;
    uint32_t length = 0;  // characters of the text that the prompt area shows
};

// Lays the text out in the prompt area line by line, as the calibrator does, and reports whether
// all of it fits and how many of its first characters do.
PromptFit fitPrompt(const BitmapFont& font, const char* text);

}  // namespace kvtlnk
