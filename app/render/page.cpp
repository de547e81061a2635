#include "render/page.h"

#include <fmt/format.h>

#include "base/escape.h"

namespace kvtapp::html {
namespace {

// What every page shares: tables without gaps, the plots' lettering, and for print, headings
// kept with what follows them and tables and plots kept whole.
const char* const kShared = R"(
table { border-collapse: collapse; }
svg.plot text { font: 11px "DejaVu Sans", Arial, sans-serif; fill: #333; }
h2, caption { break-after: avoid; }
table, figure, svg.plot, .keep { break-inside: avoid; }
@media print { body { max-width: none; margin: 0; padding: 0; } }
)";

std::string marginBox(const char* box, const std::string& text, const char* extra = "") {
    if (text.empty()) return "";
    return fmt::format("  @{} {{ content: {}; font: 8pt sans-serif;{} }}\n", box, cssString(text),
                       extra);
}

std::string paperRule(const Paper& p) {
    std::string rule = "@page { ";
    if (!p.size.empty()) rule += "size: " + p.size + "; ";
    rule += "margin: " + p.margin + ";";
    const char* grey = " color: #555;";
    const std::string boxes = marginBox("top-left", p.topLeft, grey) +
                              marginBox("top-right", p.topRight, grey) +
                              marginBox("bottom-left", p.bottomLeft, grey);
    if (boxes.empty() && !p.numbered) return rule + " }\n";
    rule += "\n" + boxes;
    if (p.numbered) {
        rule +=
            "  @bottom-right { content: \"Page \" counter(page) \" of \" counter(pages); "
            "font: 8pt sans-serif; }\n";
    }
    return rule + "}\n";
}

}  // namespace

const char* const kScreenStyle = R"(
body { font: 14px/1.45 "DejaVu Sans", Arial, sans-serif; color: #222; max-width: 980px;
       margin: 24px auto; padding: 0 16px; }
)";

std::string cssString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : visibleText(text)) {
        if (c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') {
            out += fmt::format("\\{:x} ", int(c));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string page(const std::string& title, const std::string& style, const Paper& paper,
                 const Html& body) {
    const Html head =
        empty("meta", {{"charset", "utf-8"}}) + Html::trusted("\n") +
        empty("meta", {{"http-equiv", "Content-Security-Policy"},
                       {"content", "default-src 'none'; style-src 'unsafe-inline'"}}) +
        Html::trusted("\n") + tag("title", title) + Html::trusted("\n") +
        tag("style", Html::trusted(kShared + style + paperRule(paper))) + Html::trusted("\n");
    // Written into one buffer: a page of thousands of results is tens of megabytes.
    std::string text = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n";
    text.reserve(text.size() + head.str().size() + body.str().size() + 64);
    text += head.str();
    text += "</head>\n<body>\n";
    text += body.str();
    return text + "</body>\n</html>\n";
}

}  // namespace kvtapp::html
