// The frame of every page of the bench: the navigation, who is signed in, the style sheet and
// script the server serves itself; and the small pieces the pages share: links, forms that
// carry the CSRF token, verdicts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "access.h"
#include "records/result.h"
#include "render/html.h"

namespace kvtweb {

using kvtapp::html::Html;

// What the frame shows around a page.
struct Frame {
    const Visitor& visitor;
    std::string section;  // "instruments", "due", "standards", "calibrators", "audit"
    std::string lab;      // the lab's name
    std::string archive;  // where the archive is, without its password
    std::string notice;   // what every page must say first (the lab file in use is an old one)
};

// The whole page: <!DOCTYPE html>, the frame and the body.
std::string framedPage(const std::string& title, const Frame& frame, const Html& body);

// A text as a URL's query value: every byte but letters, digits and -._~ as %XX.
std::string queryEscape(const std::string& text);
std::string instrumentHref(const std::string& tag);
std::string calibrationHref(int64_t id);
// The id of a station's element: "station-" and the port's bytes in hex.
std::string stationId(const std::string& port);

Html link(const std::string& href, Html text);
// A form that posts to action with the visitor's CSRF token, its fields and a button.
Html postForm(const std::string& action, const Visitor& visitor, Html fields,
              const std::string& button, const std::string& cls = "");
// "pass", "fail" or "not judged" in a badge; "-" for none.
Html verdictBadge(std::optional<kvtapp::Verdict> verdict);
// A text of several lines, each line escaped, with line breaks between.
Html multiline(const std::string& text);
// A section with a heading.
Html section(const std::string& heading, Html content, const std::string& cls = "");

}  // namespace kvtweb
