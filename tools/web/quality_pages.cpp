// The quality manager's pages: the standards with the calibrations that relied on each, and the
// archive's audit trail with the verdict of checking the archive against it.
#include <fmt/format.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "base/units.h"
#include "base/words.h"
#include "pages.h"

namespace kvtweb {

using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;

namespace {

Html cells(std::initializer_list<Html> list) {
    Html r;
    for (const Html& c : list)
        r += tag("td", c);
    return r;
}

Html headRow(std::initializer_list<const char*> names) {
    Html r;
    for (const char* n : names)
        r += tag("th", n);
    return tag("thead", tag("tr", r)) + newline();
}

// A form that asks this page again with a day or two.
Html daysForm(const std::string& action,
              std::initializer_list<std::pair<const char*, std::string>> days) {
    Html fields;
    for (const auto& [name, value] : days) {
        fields +=
            tag("label", Html(name) + " " +
                             empty("input", {{"type", "date"}, {"name", name}, {"value", value}}));
    }
    return tag("form", {{"method", "get"}, {"action", action}, {"class", "inline"}},
               fields + tag("button", "Show")) +
           newline();
}

std::string standingText(const kvtlab::StandardStanding& s) {
    switch (s.status) {
        case kvtlab::StandardStatus::Overdue:
            return fmt::format("overdue {} d", -s.daysLeft);
        case kvtlab::StandardStatus::DueSoon:
            return s.daysLeft == 0 ? "due today" : fmt::format("due in {} d", s.daysLeft);
        case kvtlab::StandardStatus::InDate:
            return "in date";
        default:
            return "no due date";
    }
}

const char* standingClass(kvtlab::StandardStatus status) {
    switch (status) {
        case kvtlab::StandardStatus::Overdue:
            return "overdue";
        case kvtlab::StandardStatus::DueSoon:
            return "due";
        default:
            return "";
    }
}

std::string verdictText(const std::optional<kvtapp::Verdict>& v) {
    return v ? kvtapp::verdictName(*v) : "-";
}

// The rows an audit row touched, table by table: "results 4, 5; calibrations 2".
std::string touchedText(const std::string& touched) {
    const nlohmann::json rows = nlohmann::json::parse(touched, nullptr, false);
    if (!rows.is_object()) return "?";
    std::string text;
    for (const auto& [table, keys] : rows.items()) {
        std::string list;
        if (keys.is_object()) {
            for (const auto& [key, seal] : keys.items())
                list += (list.empty() ? "" : ", ") + key;
        }
        text += (text.empty() ? "" : "; ") + table + " " + list;
    }
    return text;
}

Html verdictArea(const kvtarchive::AuditVerdict& v) {
    Html area =
        tag("p", {{"class", v.whole() ? "verdict pass" : "verdict fail problem"}}, v.line());
    if (v.whole() && v.headId) {
        area += tag("p", "Head " + std::to_string(v.headId) + ":" + v.head +
                             " (write it down: a later verify can be given it as a witness)");
    }
    if (!v.findings.empty()) {
        Html rows = headRow({"table", "key", "what", "detail"});
        for (const kvtarchive::AuditFinding& f : v.findings)
            rows += tag("tr", cells({f.table, f.key, f.what, f.detail})) + newline();
        area += tag("table", {{"class", "list findings"}}, newline() + rows);
    }
    return section("Verify", area);
}

}  // namespace

std::string standardHref(const std::string& serial) {
    return "/standards/" + queryEscape(serial);
}

Html standardsBody(const kvtlab::Lab& lab, const std::string& today) {
    const std::vector<kvtlab::StandardStanding> list = kvtlab::standardsOn(lab, today);
    if (list.empty()) {
        return tag("h1", "Reference standards") + newline() +
               tag("p", "The lab file lists no standards" +
                            std::string(lab.path.empty() ? " (there is no lab file)" : "") + ".") +
               newline();
    }
    Html rows = headRow(
        {"kind", "serial", "model", "certificate", "calibrated", "due", "status", "relied on by"});
    for (const kvtlab::StandardStanding& s : list) {
        const kvtlab::Standard& d = *s.standard;
        rows += tag("tr", cells({s.kind, d.serial, d.model, d.certificate, d.calibrated, d.due}) +
                              tag("td", {{"class", standingClass(s.status)}}, standingText(s)) +
                              tag("td", link(standardHref(d.serial), "calibrations"))) +
                newline();
    }
    return tag("h1", "Reference standards") + newline() +
           tag("table", {{"class", "list"}}, newline() + rows) + newline();
}

Html affectedBody(const std::string& serial, const std::string& since, const std::string& until,
                  const std::vector<kvtapp::AffectedCalibration>& calibrations) {
    size_t certificates = 0, reconstructed = 0;
    Html rows = headRow({"calibration", "day", "instrument", "customer", "as found", "as left",
                         "largest |error| / tolerance", "certificate of the standard", "status",
                         "certificates issued"});
    for (const kvtapp::AffectedCalibration& a : calibrations) {
        certificates += a.certificates.size();
        reconstructed += a.used.reconstructed;
        std::string issued;
        for (const std::string& c : a.certificates)
            issued += (issued.empty() ? "" : ", ") + c;
        Html standard(a.used.standard.certificate);
        if (a.used.reconstructed) standard += tag("span", {{"class", "flag"}}, " reconstructed");
        rows +=
            tag("tr",
                tag("td",
                    link(calibrationHref(a.calibration), "#" + std::to_string(a.calibration))) +
                    cells({a.day, link(instrumentHref(a.instrument), a.instrument), a.customer,
                           verdictText(a.asFound), verdictText(a.asLeft),
                           std::isnan(a.worstPercent) ? std::string("-")
                                                      : kvtapp::number(a.worstPercent, 3) + " %",
                           standard, a.used.status, issued})) +
            newline();
    }
    Html body = tag("h1", "Standard " + serial) + newline() +
                daysForm(standardHref(serial), {{"since", since}, {"until", until}}) +
                tag("p", fmt::format("{} relied on it{}{}, {}; the worst first.",
                                     kvtapp::plural(calibrations.size(), "calibration"),
                                     since.empty() ? "" : " from " + since,
                                     until.empty() ? "" : " until " + until,
                                     kvtapp::plural(certificates, "certificate"))) +
                newline();
    if (!calibrations.empty()) body += tag("table", {{"class", "list"}}, newline() + rows);
    if (reconstructed) {
        body += tag("p", {{"class", "quiet"}},
                    fmt::format("{} stored before standards were recorded with calibrations: "
                                "worked out from the lab file as it is now and the certificates "
                                "the archive kept.",
                                kvtapp::plural(reconstructed, "calibration")));
    }
    return body + tag("p", link("/standards", "Every standard")) + newline();
}

Html auditBody(const std::vector<kvtarchive::AuditEntry>& log, int64_t count,
               const std::string& since, const kvtarchive::AuditVerdict* verdict,
               const Visitor& visitor) {
    Html body = tag("h1", "Audit trail") + newline();
    if (verdict) body += verdictArea(*verdict);
    if (visitor.may(Action::Verify)) {
        body += tag("form", {{"method", "get"}, {"action", "/audit/verify"}, {"class", "inline"}},
                    tag("button", "Verify the archive")) +
                tag("p", {{"class", "quiet"}},
                    "Verify computes the chain again, checks every row against the change that "
                    "last touched it and every result's raw records; it changes nothing.") +
                newline();
    }
    body += daysForm("/audit", {{"since", since}});
    Html rows = headRow({"id", "at (UTC)", "technician", "user", "change", "rows", "command"});
    size_t shown = 0;
    for (auto e = log.rbegin(); e != log.rend() && shown < kShownAuditRows; ++e, ++shown) {
        rows += tag("tr", cells({std::to_string(e->id), e->at, e->technician, e->osUser, e->change,
                                 touchedText(e->touched), e->command})) +
                newline();
    }
    if (log.empty()) {
        body += tag("p", since.empty() ? std::string("The audit trail holds no change yet.")
                                       : "No change since " + since + ".");
        return body;
    }
    body += tag(
        "p", fmt::format("{}{}, the newest first; the head is {}:{}.",
                         kvtapp::plural(size_t(count), "change"),
                         since.empty() ? "" : " since " + since, log.back().id, log.back().sha256));
    body += tag("table", {{"class", "list audit"}}, newline() + rows) + newline();
    if (count > int64_t(shown)) {
        body += tag("p", {{"class", "quiet"}},
                    fmt::format("{} older not shown here; kvtlnk archive log lists every one.",
                                kvtapp::plural(size_t(count) - shown, "change")));
    }
    return body;
}

}  // namespace kvtweb
