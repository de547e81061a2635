// The frame of every page the application writes: one self-contained HTML document (no
// scripts, nothing fetched, as its own policy says) that is also well-formed XML, with the
// style sheet its pages share, the rules for print, and the page's own rules.
#pragma once

#include <string>

#include "render/html.h"

namespace kvtapp::html {

// The paper and its margins for print, with the texts of the margin boxes ("" for none, "Page n
// of m" at the bottom right when numbered). The texts are set as CSS strings.
struct Paper {
    std::string size;  // "A4" or "letter"; "" for the browser's own
    std::string margin = "15mm";
    std::string topLeft, topRight, bottomLeft;
    bool numbered = false;
};

std::string page(const std::string& title, const std::string& style, const Paper& paper,
                 const Html& body);

// The body of a page read on a screen before it is printed: one column of reading width.
extern const char* const kScreenStyle;

// A text as a CSS string: its controls made visible, quotes, backslashes and markup as
// escapes.
std::string cssString(const std::string& text);

}  // namespace kvtapp::html
