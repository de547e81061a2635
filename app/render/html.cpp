#include "render/html.h"

#include <fmt/format.h>

#include "base/escape.h"

namespace kvtapp::html {
namespace {

std::string opening(const char* name, const Attributes& attributes) {
    std::string text = std::string("<") + name;
    for (const Attribute& a : attributes)
        text += std::string(" ") + a.name + "=\"" + escapeHtml(a.value) + "\"";
    return text;
}

}  // namespace

Html::Html(const std::string& text) : markup_(escapeHtml(text)) {}

Html::Html(const char* text) : Html(std::string(text)) {}

Html Html::trusted(std::string markup) {
    Html html;
    html.markup_ = std::move(markup);
    return html;
}

Html& Html::operator+=(const Html& more) {
    markup_ += more.markup_;
    return *this;
}

Html operator+(Html a, const Html& b) {
    return a += b;
}

Html tag(const char* name, const Attributes& attributes, const Html& content) {
    return Html::trusted(opening(name, attributes) + ">" + content.str() + "</" + name + ">");
}

Html tag(const char* name, const Html& content) {
    return tag(name, {}, content);
}

Html empty(const char* name, const Attributes& attributes) {
    return Html::trusted(opening(name, attributes) + " />");
}

std::string coordinate(double value) {
    return fmt::format("{:.1f}", value);
}

}  // namespace kvtapp::html
