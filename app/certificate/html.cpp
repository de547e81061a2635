// The calibration certificate as one HTML page laid out for print: the lab and the
// certificate's number at the top of the first page and in the margins of every page, with
// "Page n of m"; tables kept with their headings and plots whole.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/units.h"
#include "certificate/certificate.h"
#include "render/page.h"
#include "render/plot.h"

namespace kvtapp {
namespace {

using html::Html;
using html::newline;
using html::tag;

const char* const kStyle = R"(
body { font: 9.5pt/1.35 "DejaVu Sans", Arial, sans-serif; color: #111; margin: 0; }
h1 { font-size: 16pt; margin: 0 0 4pt; }
h2 { font-size: 11pt; margin: 12pt 0 4pt; border-bottom: 1px solid #90a4ae; padding-bottom: 2pt; }
header.head { display: flex; justify-content: space-between; gap: 16pt;
              border-bottom: 2px solid #37474f; padding-bottom: 6pt; }
.lab-name { font-size: 13pt; font-weight: bold; }
.facts th, .facts td { text-align: left; vertical-align: top; padding: 1pt 10pt 1pt 0; }
.facts th { font-weight: normal; color: #444; white-space: nowrap; }
.grid { width: 100%; font-size: 8pt; font-variant-numeric: tabular-nums; }
.grid th, .grid td { border: 1px solid #b0bec5; padding: 2pt 3pt; text-align: right; }
.grid th { background: #eceff1; font-weight: 600; vertical-align: bottom; }
.grid td.text, .grid th.text { text-align: left; }
.grid th.side { text-align: center; }
.grid td { white-space: nowrap; }
.grid td.wrap { white-space: normal; }
caption { text-align: left; font-weight: 600; padding: 4pt 0; }
.signatures, .warning { break-inside: avoid; }
.warning { border: 2px solid #c62828; background: #ffebee; padding: 6pt 10pt; margin: 8pt 0; }
.notice { border: 2px solid #37474f; background: #eceff1; padding: 6pt 10pt; margin: 8pt 0;
          break-inside: avoid; }
.low { color: #b71c1c; font-weight: bold; }
.warning strong { color: #b71c1c; }
.fail { color: #b71c1c; font-weight: bold; }
.pass { color: #1b5e20; font-weight: bold; }
figure { margin: 6pt 0; }
figcaption { font-weight: 600; }
svg.plot { width: 100%; height: auto; max-width: 160mm; }
.note { font-size: 8pt; color: #333; }
.signatures { display: flex; gap: 24pt; margin-top: 14pt; }
.signatures div { flex: 1; }
.line { border-bottom: 1px solid #000; height: 18pt; margin-bottom: 2pt; display: flex;
        align-items: flex-end; }
)";

// Text of several lines, the lines kept.
Html lines(const std::string& text) {
    Html html;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        html += Html(text.substr(start, end - start)) + html::empty("br", {});
    return html + text.substr(start);
}

Html row(const std::string& label, const Html& value) {
    return tag("tr", tag("th", label) + tag("td", value)) + newline();
}

Html verdictText(const std::string& verdict) {
    const char* cls = verdict == "pass" ? "pass" : verdict == "fail" ? "fail" : "";
    return tag("span", {{"class", cls}}, verdict);
}

Html section(const Html& content, const char* cls = "keep") {
    return tag("section", {{"class", cls}}, newline() + content) + newline();
}

Html facts(const Html& rows) {
    return tag("table", {{"class", "facts"}}, newline() + rows) + newline();
}

// A part that may be unknown: its text, else "not stated".
std::string stated(const std::string& text) {
    return text.empty() ? "not stated" : text;
}

Html head(const CertificateContent& c) {
    Html labFacts = tag("div", {{"class", "lab-name"}}, c.lab.name) + newline();
    if (!c.lab.address.empty()) labFacts += tag("div", lines(c.lab.address)) + newline();
    if (!c.lab.accreditation.empty()) labFacts += tag("div", c.lab.accreditation) + newline();
    Html rows = row("Certificate number", tag("strong", c.number));
    if (!c.replaces.empty()) rows += row("Replaces", c.replaces);
    rows += row("Date of calibration",
                c.calibrated + (c.dateNote.empty() ? "" : " (" + c.dateNote + ")")) +
            row("Date of issue", c.issued);
    return tag("header", {{"class", "head"}},
               newline() + tag("div", newline() + labFacts) + newline() +
                   tag("div",
                       newline() + tag("h1", "Calibration certificate") + newline() + facts(rows)) +
                   newline()) +
           newline();
}

Html boxes(const CertificateContent& c) {
    Html html;
    if (!c.replaces.empty()) {
        html += tag("div", {{"class", "notice"}},
                    tag("strong", "This certificate replaces certificate " + c.replaces +
                                      ", which is withdrawn.") +
                        " Reason: " + c.reason) +
                newline();
    }
    if (!c.traceable) {
        html += tag("div", {{"class", "warning"}},
                    tag("strong",
                        "Reference standard not in calibration: this certificate's "
                        "traceability is not established.") +
                        " " + c.traceability) +
                newline();
    }
    return html;
}

Html item(const CertificateContent& c) {
    const ItemPart& i = c.item;
    Html customer = Html(stated(c.customer.name));
    if (!c.customer.address.empty()) customer += html::empty("br", {}) + lines(c.customer.address);
    const Html rows =
        row("Customer", customer) +
        row("Instrument", i.tag + (i.untagged ? " (no tag texts: named by its test)" : "")) +
        row("Make", stated(i.make)) + row("Model", stated(i.model)) +
        row("Serial number", stated(i.serialNumber)) + row("Range", stated(i.range)) +
        row("Tag texts", i.tagTexts) + row("Test", i.test) +
        row("Method",
            "procedure \"" + c.method.procedure + "\" of the calibrator" +
                (c.method.reference.empty() ? "" : "; the lab's method " + c.method.reference)) +
        row("Calibration",
            "archive calibration " + std::to_string(c.calibration) + ", " + c.adjustment);
    return section(tag("h2", "Item calibrated") + newline() + facts(rows));
}

Html standards(const CertificateContent& c) {
    Html head;
    for (const char* heading :
         {"Standard", "Model", "Serial number", "Certificate", "Calibrated by", "Calibrated", "Due",
          "On the day of the calibration"}) {
        head += tag("th", {{"class", "text"}}, heading);
    }
    Html rows = tag("thead", tag("tr", head)) + newline();
    for (const StandardPart& s : c.standards) {
        const std::string cells[] = {
            s.kind,        s.model,        s.serial.empty() ? "not recorded" : s.serial,
            s.certificate, s.calibratedBy, s.calibrated,
            s.due,         s.status};
        Html cellsHtml;
        for (size_t i = 0; i < std::size(cells); ++i) {
            const bool words = i == 1 || i == 4 || i == 7;  // these may wrap
            cellsHtml += tag("td", {{"class", words ? "text wrap" : "text"}}, cells[i]);
        }
        rows += tag("tr", cellsHtml) + newline();
    }
    return section(tag("h2", "Reference standards and traceability") + newline() +
                   tag("table", {{"class", "grid"}}, newline() + rows) + newline() +
                   tag("p", c.traceability) + newline());
}

Html conditions(const CertificateContent& c) {
    std::string text;
    if (!c.temperature.empty()) text = "ambient temperature " + c.temperature;
    if (!c.humidity.empty())
        text += std::string(text.empty() ? "" : ", ") + "relative humidity " + c.humidity;
    return section(tag("h2", "Environmental conditions") + newline() +
                   tag("p", text.empty() ? "not stated" : text) + newline());
}

// The heading cells of one side of the results table.
Html sideHeadings(const std::string& in, bool uncertainty) {
    Html html =
        tag("th", "Reading" + in) + tag("th", "Error" + in) + tag("th", "Error (% of span)");
    if (uncertainty) html += tag("th", "U, k = 2" + in) + tag("th", "TUR");
    return html + tag("th", "Verdict");
}

Html sideCells(const SideCells& s, bool uncertainty) {
    const int count = uncertainty ? 6 : 4;
    if (!s.present) {
        Html empty;
        for (int i = 0; i < count; ++i)
            empty += tag("td", "");
        return empty;
    }
    Html html = tag("td", s.reading) + tag("td", s.error) + tag("td", s.errorPercent);
    if (uncertainty) {
        html += tag("td", s.uncertainty) +
                tag("td", s.lowTur ? tag("span", {{"class", "low"}}, s.tur + " †") : Html(s.tur));
    }
    return html + tag("td", {{"class", "text"}}, verdictText(s.verdict));
}

// " (mA)" after a heading, nothing for a unit without a symbol.
std::string unitSuffix(const std::string& unit) {
    return unit.empty() ? "" : " (" + unit + ")";
}

Html resultsTable(const TablePart& t, bool uncertainty) {
    const std::string in = unitSuffix(t.inUnit);
    const std::string sideColumns = std::to_string(uncertainty ? 6 : 4);
    Html first = tag("th", {{"rowspan", "2"}}, "Point (% of span)") +
                 tag("th", {{"rowspan", "2"}}, "Nominal" + unitSuffix(t.outUnit)) +
                 tag("th", {{"rowspan", "2"}}, "Expected" + in);
    Html second;
    for (const std::string* label : {&t.foundLabel, &t.leftLabel}) {
        if (label->empty()) continue;
        std::string heading = *label;
        heading[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(heading[0])));
        first += tag("th", {{"class", "side"}, {"colspan", sideColumns}}, heading);
        second += sideHeadings(in, uncertainty);
    }
    Html rows = tag("thead", tag("tr", first) + newline() + tag("tr", second)) + newline();
    for (const PointRowPart& row : t.rows) {
        Html cells = tag("td", row.point) + tag("td", row.nominal) + tag("td", row.expected);
        if (!t.foundLabel.empty()) cells += sideCells(row.found, uncertainty);
        if (!t.leftLabel.empty()) cells += sideCells(row.left, uncertainty);
        rows += tag("tr", cells) + newline();
    }
    return tag("table", {{"class", t.rows.size() <= 20 ? "grid keep" : "grid"}},
               newline() + tag("caption", t.caption) + newline() + rows) +
           newline();
}

Html results(const CertificateContent& c) {
    Html html = tag("h2", "Results as found and as left") + newline();
    for (const TablePart& t : c.tables)
        html += resultsTable(t, c.uncertaintyStated);
    for (const std::string& problem : c.undecoded)
        html += tag("p", {{"class", "fail"}}, "A result does not decode: " + problem) + newline();
    const std::string note =
        "Error = reading − expected, also in % of the input span; the expected reading is the "
        "test point through the input scale, the nominal value the same point through the "
        "output scale. " +
        c.uncertaintyStatement;
    return section(html + tag("p", {{"class", "note"}}, note) + newline(), "results");
}

Html summary(const CertificateContent& c) {
    Html head;
    for (const char* heading : {"", "Largest error", "Hysteresis (up against down)", "Verdict"})
        head += tag("th", {{"class", "text"}}, heading);
    Html rows = tag("thead", tag("tr", head)) + newline();
    const html::Attributes text = {{"class", "text"}};
    for (const SummaryPart& s : c.summary) {
        rows +=
            tag("tr", tag("td", text, s.label) + tag("td", text, s.largest) +
                          tag("td", text, s.hysteresis) + tag("td", text, verdictText(s.verdict))) +
            newline();
    }
    const Html verdicts = Html("Verdict as found: ") + verdictText(c.asFound) + "; " +
                          (c.asLeft.empty() ? Html("not adjusted, as found stands")
                                            : Html("adjusted; as left: ") + verdictText(c.asLeft)) +
                          ".";
    return section(tag("h2", "Summary and decision rule") + newline() +
                   tag("table", {{"class", "grid"}}, newline() + rows) + newline() +
                   tag("p", verdicts) + newline() +
                   tag("p", "Decision rule: " + c.decisionStatement) + newline());
}

Html plots(const CertificateContent& c) {
    Html html = tag("h2", "Error plots") + newline();
    const nlohmann::ordered_json results =
        nlohmann::ordered_json::parse(c.results.dump(), nullptr, false);
    for (const auto& value : results.is_array() ? results : nlohmann::ordered_json::array()) {
        const Result r = resultFromJson(value);
        if (r.points.empty()) continue;
        html += tag("figure",
                    newline() +
                        tag("figcaption", c.item.tag + ", " + sideName(r) + ", taken " + r.taken) +
                        newline() + html::errorPlot(r) + newline()) +
                newline();
    }
    return section(html, "plots");
}

Html closing(const CertificateContent& c) {
    Html html = tag("h2", "Remarks") + newline() +
                tag("p", lines(c.remarks.empty() ? "None." : c.remarks)) + newline() +
                tag("p", tag("strong", "The results relate only to the item calibrated.")) +
                newline();
    return section(html);
}

Html signatures(const CertificateContent& c) {
    const auto block = [](const std::string& role, const std::string& name) {
        const Html line = tag("div", {{"class", "line"}}, "");
        return tag("div",
                   newline() + tag("p", tag("strong", role)) + newline() +
                       tag("p",
                           Html("Name: ") +
                               (name.empty() ? tag("span", {{"class", "line"}}, "") : Html(name))) +
                       newline() + line + "Signature" + newline() + line + "Date" + newline()) +
               newline();
    };
    return section(block("Calibrated by", c.technician) + block("Authorised by", c.authorisedBy),
                   "signatures");
}

}  // namespace

std::string certificateHtml(const CertificateContent& c) {
    html::Paper paper;
    paper.size = c.paper == "letter" ? "letter" : "A4";
    paper.margin = "16mm 14mm 18mm 14mm";
    paper.topLeft = c.lab.name;
    paper.topRight = "Calibration certificate " + c.number;
    paper.bottomLeft = "Issued " + c.issued;
    paper.numbered = true;
    const Html body = head(c) + boxes(c) + item(c) + standards(c) + conditions(c) + results(c) +
                      summary(c) + plots(c) + closing(c) + signatures(c);
    return html::page("Calibration certificate " + c.number, kStyle, paper, body);
}

}  // namespace kvtapp
