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

Html&& Html::wrapped(const std::string& opening, const std::string& closing) && {
    markup_.reserve(markup_.size() + opening.size() + closing.size());
    markup_.insert(0, opening);
    markup_ += closing;
    return std::move(*this);
}

Html operator+(Html a, const Html& b) {
    return std::move(a += b);
}

Html tag(const char* name, const Attributes& attributes, Html content) {
    return std::move(content).wrapped(opening(name, attributes) + ">",
                                      std::string("</") + name + ">");
}

Html tag(const char* name, Html content) {
    return tag(name, {}, std::move(content));
}

Html empty(const char* name, const Attributes& attributes) {
    return Html::trusted(opening(name, attributes) + " />");
}

std::string coordinate(double value) {
    return fmt::format("{:.1f}", value);
}

}  // namespace kvtapp::html
