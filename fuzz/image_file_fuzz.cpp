// The image-file reader of the tools (kvtsim --image, kvtlnk show, results, report and the
// check of a backup) over any text: JSON read with its keys checked, both memories taken from
// it. Every file it takes must read back the same after it is written, as a backup must; and
// the text, shown on a terminal or a page, must hold no control a terminal acts on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/escape.h"
#include "common/image_file.h"

namespace {

// A control of C0 or C1 (as UTF-8) outside line breaks.
bool holdsControls(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (holdsControls(kvtapp::visibleText(text)) || holdsControls(kvtapp::escapeHtml(text)) ||
        holdsControls(kvtapp::csvField(text))) {
        std::abort();
    }
    kvttools::FileProblem problem;
    const std::optional<kvttools::Json> document =
        kvttools::parseJson(text, &problem.message, &problem.field);
    kvttools::MemoryFile file;
    if (!document || !kvttools::readMemoryDocument(*document, &file, &problem)) return 0;
    const std::string written = kvttools::formatMemoryFile(file);
    kvttools::MemoryFile back;
    const std::optional<kvttools::Json> again =
        kvttools::parseJson(written, &problem.message, &problem.field);
    if (!again || !kvttools::readMemoryDocument(*again, &back, &problem) ||
        back.procedure != file.procedure || back.results != file.results) {
        std::abort();
    }
    return 0;
}
