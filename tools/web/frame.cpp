#include "frame.h"

#include <fmt/format.h>

namespace kvtweb {

using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;

namespace {

Html navigation(const Frame& f) {
    Html items;
    const struct {
        const char* section;
        const char* href;
        const char* label;
    } kSections[] = {{"instruments", "/instruments", "Instruments"},
                     {"due", "/due", "Due"},
                     {"standards", "/standards", "Standards"},
                     {"calibrators", "/calibrators", "Calibrators"},
                     {"audit", "/audit", "Audit trail"}};
    for (const auto& s : kSections) {
        kvtapp::html::Attributes a = {{"href", s.href}};
        if (f.section == s.section) a.push_back({"aria-current", "page"});
        items += tag("a", a, s.label);
    }
    Html who;
    if (!f.visitor.user.empty()) {
        who = tag("span", {{"class", "who"}},
                  f.visitor.user + (f.visitor.local ? "" : " (" + f.visitor.role + ")"));
    }
    if (!f.visitor.local && !f.visitor.user.empty()) {
        who += postForm("/logout", f.visitor, {}, "Sign out", "inline");
    }
    return tag("header", {{"class", "top"}},
               newline() + tag("span", {{"class", "lab"}}, f.lab.empty() ? "kvtlnk" : f.lab) +
                   tag("nav", items) + tag("span", {{"class", "account"}}, who) + newline());
}

Html notice(const Frame& f) {
    if (f.notice.empty()) return Html();
    return tag("p", {{"class", "problem notice"}, {"role", "alert"}}, f.notice) + newline();
}

}  // namespace

std::string framedPage(const std::string& title, const Frame& frame, const Html& body) {
    const Html head =
        empty("meta", {{"charset", "utf-8"}}) + newline() +
        empty("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}}) +
        newline() + empty("meta", {{"name", "csrf-token"}, {"content", frame.visitor.csrf}}) +
        newline() + tag("title", title + " - kvtlnk") + newline() +
        empty("link", {{"rel", "stylesheet"}, {"href", "/static/style.css"}}) + newline() +
        tag("script", {{"src", "/static/app.js"}, {"defer", "defer"}}, {}) + newline();
    const Html page = tag("head", newline() + head) + newline() +
                      tag("body", newline() + navigation(frame) + newline() +
                                      tag("main", newline() + notice(frame) + body) + newline() +
                                      tag("footer", "Archive: " + frame.archive) + newline());
    return "<!DOCTYPE html>\n" + tag("html", {{"lang", "en"}}, newline() + page).str() + "\n";
}

std::string queryEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += fmt::format("%{:02X}", c);
        }
    }
    return out;
}

std::string instrumentHref(const std::string& tag) {
    return "/instrument?tag=" + queryEscape(tag);
}

std::string calibrationHref(int64_t id) {
    return "/calibrations/" + std::to_string(id);
}

std::string stationId(const std::string& port) {
    std::string id = "station-";
    for (unsigned char c : port)
        id += fmt::format("{:02x}", c);
    return id;
}

Html link(const std::string& href, Html text) {
    return tag("a", {{"href", href}}, std::move(text));
}

Html postForm(const std::string& action, const Visitor& visitor, Html fields,
              const std::string& button, const std::string& cls) {
    kvtapp::html::Attributes attributes = {{"method", "post"}, {"action", action}};
    if (!cls.empty()) attributes.push_back({"class", cls});
    return tag("form", attributes,
               empty("input", {{"type", "hidden"}, {"name", "csrf"}, {"value", visitor.csrf}}) +
                   std::move(fields) + tag("button", {{"type", "submit"}}, button));
}

Html verdictBadge(std::optional<kvtapp::Verdict> verdict) {
    if (!verdict) return Html("-");
    const char* cls = *verdict == kvtapp::Verdict::Pass   ? "badge pass"
                      : *verdict == kvtapp::Verdict::Fail ? "badge fail"
                                                          : "badge none";
    return tag("span", {{"class", cls}}, kvtapp::verdictName(*verdict));
}

Html multiline(const std::string& text) {
    Html html;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        html += Html(text.substr(start, end - start)) + empty("br", {});
    return html + Html(text.substr(start));
}

Html section(const std::string& heading, Html content, const std::string& cls) {
    kvtapp::html::Attributes a;
    if (!cls.empty()) a.push_back({"class", cls});
    return tag("section", a, newline() + tag("h2", heading) + newline() + std::move(content)) +
           newline();
}

}  // namespace kvtweb
