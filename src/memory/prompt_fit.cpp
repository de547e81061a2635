#include "memory/prompt_fit.h"

#include <cstring>
#include <memory>
#include <new>

namespace kvtlnk {

PromptFit fitPrompt(const BitmapFont& font, const char* text) {
    if (text == nullptr) return {};
    const size_t length = std::strlen(text);
    std::unique_ptr<char[]> line(new (std::nothrow) char[length + 2]);
    if (!line) return {};

    size_t position = 0;
    size_t lineStart = 0;
    int lines = 0;
    do {
        lineStart = position;
        fitLine(font, text, &position, kPromptLineWidth, line.get());
        ++lines;
        if (std::strlen(line.get()) >= kPromptLineChars)
            return {false, static_cast<uint32_t>(lineStart)};
    } while (position < length && lines <= kPromptLines);

    // An 11th line means the text is cut after the first 10.
    if (lines > kPromptLines) return {false, static_cast<uint32_t>(lineStart)};
    return {true, static_cast<uint32_t>(position)};
}

}  // namespace kvtlnk
