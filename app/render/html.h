// HTML and SVG built by construction: a text becomes part of a page escaped (its controls made
// visible, & < > " ' as references), whatever it holds; only a fragment marked trusted, which
// this program writes itself, goes in as it is. Elements nest; the page is well-formed XML.
#pragma once

#include <string>
#include <vector>

namespace kvtapp::html {

class Html {
  public:
    Html() = default;
    // Text, escaped.
    Html(const std::string& text);  // NOLINT(google-explicit-constructor): text reads as text
    Html(const char* text);         // NOLINT(google-explicit-constructor)
    // Markup of this program's own: a style sheet, a character reference, a number.
    static Html trusted(std::string markup);

    Html& operator+=(const Html& more);
    const std::string& str() const { return markup_; }
    bool empty() const { return markup_.empty(); }
    // The fragment between the two tags, in its own buffer.
    Html&& wrapped(const std::string& opening, const std::string& closing) &&;

  private:
    std::string markup_;
};

Html operator+(Html a, const Html& b);

// An attribute; its value is escaped.
struct Attribute {
    const char* name;
    std::string value;
};
using Attributes = std::vector<Attribute>;

// <name attributes>content</name>, and an element without content: <name attributes />.
Html tag(const char* name, const Attributes& attributes, Html content);
Html tag(const char* name, Html content);
Html empty(const char* name, const Attributes& attributes);

// A line break between elements, for a page that reads as text too.
inline Html newline() {
    return Html::trusted("\n");
}

// A number for an attribute of a drawing: one decimal.
std::string coordinate(double value);

}  // namespace kvtapp::html
