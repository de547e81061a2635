// The calibration certificate as one HTML page laid out for print: the lab and the
// certificate's number at the top of the first page and in the margins of every page, with
// "Page n of m"; tables kept with their headings and plots whole.
#include <fmt/format.h>

#include <algorithm>
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

std::string sideVerdict(const std::optional<Verdict>& v, const char* none) {
    return v ? verdictName(*v) : none;
}

Html section(const Html& content, const char* cls = "keep") {
    return tag("section", {{"class", cls}}, newline() + content) + newline();
}

Html head(const CertificateData& c) {
    const kvtlab::Lab& lab = *c.lab;
    Html labFacts = tag("div", {{"class", "lab-name"}}, lab.name) + newline();
    if (!lab.address.empty()) labFacts += tag("div", lines(lab.address)) + newline();
    if (!lab.accreditation.empty()) labFacts += tag("div", lab.accreditation) + newline();
    const Html facts = row("Certificate number", tag("strong", c.number)) +
                       row("Date of calibration", c.event.date.substr(0, 10)) +
                       row("Date of issue", c.certificate.issued);
    return tag("header", {{"class", "head"}},
               newline() + tag("div", newline() + labFacts) + newline() +
                   tag("div", newline() + tag("h1", "Calibration certificate") + newline() +
                                  tag("table", {{"class", "facts"}}, newline() + facts) +
                                  newline()) +
                   newline()) +
           newline();
}

Html warning(const CertificateData& c) {
    const std::vector<std::string> problems = traceabilityProblems(c);
    if (problems.empty()) return {};
    Html items;
    for (const std::string& p : problems)
        items += tag("li", p) + newline();
    return tag("div", {{"class", "warning"}},
               tag("strong",
                   "Reference standard not in calibration: this certificate's "
                   "traceability is not established.") +
                   newline() + tag("ul", newline() + items) + newline()) +
           newline();
}

Html instrument(const CertificateData& c) {
    const Result& first = c.event.results.front();
    const Setup& s = first.setup;
    const std::string left =
        c.event.asLeft ? sideVerdict(c.event.asLeft, "") + " as left" : "not adjusted";
    const Html facts = row("Instrument", instrumentName(first)) +
                       row("Tag texts", "\"" + first.tag + "\", \"" + first.text1 + "\", \"" +
                                            first.text2 + "\"") +
                       row("Task", first.taskIndex < 0 ? "none" : first.task) +
                       row("Test", "measures " + describeInput(s) + "; sources " +
                                       describeOutput(s) + "; " + describeRest(s)) +
                       row("Calibrated", fmt::format("{} ({} as found, {})", c.event.date,
                                                     sideVerdict(c.event.asFound, "none"), left)) +
                       row("Archive event", std::to_string(c.event.id));
    return section(tag("h2", "Instrument under test") + newline() +
                   tag("table", {{"class", "facts"}}, newline() + facts) + newline());
}

Html standards(const CertificateData& c) {
    Html head;
    for (const char* heading : {"Standard", "Model", "Serial number", "Certificate", "Calibrated",
                                "Due", "On the day of the calibration"}) {
        head += tag("th", {{"class", "text"}}, heading);
    }
    Html rows = tag("thead", tag("tr", head)) + newline();
    for (const StandardUse& s : c.standards) {
        const kvtlab::Standard* l = s.listed;
        const std::string model = s.model.empty() && l ? l->model : s.model;
        const std::string status = s.serial.empty() ? "not recorded"
                                   : !l             ? "not listed in the lab file"
                                   : s.overdue      ? "past its due date"
                                                    : "within its calibration";
        const std::string cells[] = {s.kind,
                                     model,
                                     s.serial.empty() ? "not recorded" : s.serial,
                                     l ? l->certificate : "",
                                     l ? l->calibrated : "",
                                     l ? l->due : "",
                                     status};
        Html cellsHtml;
        for (size_t i = 0; i < std::size(cells); ++i) {
            const bool words = i == 1 || i == 6;  // the model and the status may wrap
            cellsHtml += tag("td", {{"class", words ? "text wrap" : "text"}}, cells[i]);
        }
        rows += tag("tr", cellsHtml) + newline();
    }
    return section(tag("h2", "Reference standards") + newline() +
                   tag("table", {{"class", "grid"}}, newline() + rows) + newline());
}

Html conditions(const CertificateData& c) {
    const Conditions& k = c.certificate.conditions;
    std::string text;
    if (!std::isnan(k.temperature))
        text = "ambient temperature " + number(k.temperature, 4) + " °C";
    if (!std::isnan(k.humidity))
        text += (text.empty() ? "" : ", ") + std::string("relative humidity ") +
                number(k.humidity, 3) + " %";
    if (text.empty()) text = "not stated";
    return section(tag("h2", "Environmental conditions") + newline() + tag("p", text) + newline());
}

// The heading cells of one side of the results table.
Html sideHeadings(const std::string& in, bool uncertainty) {
    Html html =
        tag("th", "Reading" + in) + tag("th", "Error" + in) + tag("th", "Error (% of span)");
    if (uncertainty) html += tag("th", "U, k = 2" + in) + tag("th", "TUR");
    return html + tag("th", "Verdict");
}

Html sideCells(const Result* r, const Point* p, double u, bool uncertainty) {
    const int count = uncertainty ? 6 : 4;
    if (!r || !p) {
        Html empty;
        for (int i = 0; i < count; ++i)
            empty += tag("td", "");
        return empty;
    }
    const PointText t = pointText(*r, *p);
    const DisplayUnit in = scaleUnit(r->setup.input);
    Html html = tag("td", t.reading) + tag("td", t.error) + tag("td", t.errorPercent);
    if (uncertainty) {
        const double span = double(r->setup.input.scale[1]) - r->setup.input.scale[0];
        const double ratio = testUncertaintyRatio(r->setup.tolerance * std::fabs(span) / 100, u);
        html += tag("td", number(u / in.factor, 2)) +
                tag("td", std::isnan(ratio) ? "" : fmt::format("{:.1f}", ratio));
    }
    return html + tag("td", {{"class", "text"}}, verdictText(verdictName(p->verdict)));
}

// " (mA)" after a heading, nothing for a unit without a symbol.
std::string unitSuffix(const DisplayUnit& u) {
    return u.symbol.empty() ? "" : " (" + u.symbol + ")";
}

Html resultsTable(const ResultPair& pair, bool uncertainty) {
    const Result& any = pair.found ? *pair.found : *pair.left;
    const Setup& s = any.setup;
    const DisplayUnit inUnit = scaleUnit(s.input);
    const std::string in = unitSuffix(inUnit);
    const double span = double(s.input.scale[1]) - s.input.scale[0];
    const std::string tolerance =
        s.tolerance > 0
            ? fmt::format("tolerance ±{} % of span (±{} {})", number(s.tolerance),
                          number(s.tolerance * std::fabs(span) / 100 / inUnit.factor, 3),
                          inUnit.symbol)
            : "no tolerance: points are not judged";
    const std::string sideColumns = std::to_string(uncertainty ? 6 : 4);
    Html first = tag("th", {{"rowspan", "2"}}, "Point (% of span)") +
                 tag("th", {{"rowspan", "2"}}, "Nominal" + unitSuffix(scaleUnit(s.output))) +
                 tag("th", {{"rowspan", "2"}}, "Expected" + in);
    Html second;
    for (const Result* r : {pair.found, pair.left}) {
        if (!r) continue;
        first += tag("th", {{"class", "side"}, {"colspan", sideColumns}},
                     r == pair.found ? "As found" : "As left");
        second += sideHeadings(in, uncertainty);
    }
    Html rows = tag("thead", tag("tr", first) + newline() + tag("tr", second)) + newline();
    for (const PointRow& row : pair.rows) {
        const Point& p = row.found ? *row.found : *row.left;
        const PointText t = pointText(row.found ? *pair.found : *pair.left, p);
        Html cells = tag("td", number(p.fraction * 100.0) + (p.down ? " ↓" : " ↑")) +
                     tag("td", t.nominal) + tag("td", t.expected);
        if (pair.found)
            cells += sideCells(pair.found, row.found, row.foundUncertainty, uncertainty);
        if (pair.left) cells += sideCells(pair.left, row.left, row.leftUncertainty, uncertainty);
        rows += tag("tr", cells) + newline();
    }
    return tag("table", {{"class", pair.rows.size() <= 20 ? "grid keep" : "grid"}},
               newline() + tag("caption", instrumentName(any) + ": " + tolerance) + newline() +
                   rows) +
           newline();
}

Html results(const CertificateData& c) {
    Html html = tag("h2", "Results as found and as left") + newline();
    for (const ResultPair& pair : c.pairs)
        html += resultsTable(pair, c.uncertainty);
    for (const Result& r : c.event.results) {
        if (!r.problem.empty())
            html +=
                tag("p", {{"class", "fail"}}, "A result does not decode: " + r.problem) + newline();
    }
    const std::string note =
        std::string(
            "Error = reading − expected, also in % of the input span; the expected "
            "reading is the test point through the input scale, the nominal value the "
            "same point through the output scale. Readings are shown at the "
            "calibrator's display resolution. ") +
        (c.uncertainty
             ? "U is the expanded uncertainty of the error (k = 2, about 95 % coverage): the "
               "calibrator's stated accuracy for the reading and for the value sourced (a "
               "pressure module's for a pressure), each taken as a rectangular distribution, "
               "combined with half the display's resolution of the reading. TUR is the test "
               "uncertainty ratio, the tolerance over U."
             : "No uncertainty is stated: " + c.uncertaintyNote + ".");
    return section(html + tag("p", {{"class", "note"}}, note) + newline(), "results");
}

// The largest error of a result (% of span) with the same in the reading's unit, and the
// largest difference between the ways up and down at one point.
struct Extremes {
    const Point* largest = nullptr;
    double hysteresis = std::nan("");
};

Extremes extremesOf(const Result& r) {
    Extremes e;
    for (const Point& p : r.points) {
        if (std::isnan(p.error)) continue;
        if (!e.largest || std::fabs(p.error) > std::fabs(e.largest->error)) e.largest = &p;
        for (const Point& q : r.points) {
            if (q.down && !p.down && q.fraction == p.fraction && !std::isnan(q.error)) {
                const double h = std::fabs(p.error - q.error);
                if (std::isnan(e.hysteresis) || h > e.hysteresis) e.hysteresis = h;
            }
        }
    }
    return e;
}

Html summaryRow(const Result& r) {
    const Extremes e = extremesOf(r);
    const DisplayUnit in = scaleUnit(r.setup.input);
    const double span = std::fabs(double(r.setup.input.scale[1]) - r.setup.input.scale[0]);
    std::string largest = "none";
    if (e.largest) {
        largest = fmt::format("{} % of span ({} {}) at {} %", number(e.largest->error, 3),
                              pointText(r, *e.largest).error, in.symbol,
                              number(e.largest->fraction * 100.0));
    }
    const std::string hysteresis =
        std::isnan(e.hysteresis)
            ? "no way down"
            : fmt::format("{} % of span ({} {})", number(e.hysteresis, 3),
                          number(e.hysteresis * span / 100 / in.factor, 3), in.symbol);
    const html::Attributes text = {{"class", "text"}};
    return tag("tr", tag("td", text, sideName(r)) + tag("td", text, largest) +
                         tag("td", text, hysteresis) +
                         tag("td", text, verdictText(verdictName(r.verdict)))) +
           newline();
}

Html summary(const CertificateData& c) {
    Html head;
    for (const char* heading : {"", "Largest error", "Hysteresis (up against down)", "Verdict"}) {
        head += tag("th", {{"class", "text"}}, heading);
    }
    Html rows = tag("thead", tag("tr", head)) + newline();
    for (const Result& r : c.event.results) {
        if (!r.points.empty()) rows += summaryRow(r);
    }
    const Html verdicts = Html("Verdict as found: ") +
                          verdictText(sideVerdict(c.event.asFound, "none")) + "; as left: " +
                          (c.event.asLeft ? verdictText(sideVerdict(c.event.asLeft, ""))
                                          : Html("not adjusted, as found stands")) +
                          ".";
    return section(tag("h2", "Summary") + newline() +
                   tag("table", {{"class", "grid"}}, newline() + rows) + newline() +
                   tag("p", verdicts) + newline());
}

Html plots(const CertificateData& c) {
    Html html = tag("h2", "Error plots") + newline();
    for (const Result& r : c.event.results) {
        if (r.points.empty()) continue;
        html +=
            tag("figure", newline() + tag("figcaption", instrumentName(r) + ", " + sideName(r)) +
                              newline() + html::errorPlot(r) + newline()) +
            newline();
    }
    return section(html, "plots");
}

Html remarks(const CertificateData& c) {
    const std::string& text = c.certificate.conditions.remarks;
    return section(tag("h2", "Remarks") + newline() +
                   tag("p", lines(text.empty() ? "None." : text)) + newline());
}

Html signatures(const CertificateData& c) {
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
    return section(block("Technician", c.technician) + block("Reviewer", ""), "signatures");
}

}  // namespace

std::string certificateHtml(const CertificateData& c) {
    html::Paper paper;
    paper.size = c.paper == "letter" ? "letter" : "A4";
    paper.margin = "16mm 14mm 18mm 14mm";
    paper.topLeft = c.lab->name;
    paper.topRight = "Calibration certificate " + c.number;
    paper.bottomLeft = "Issued " + c.certificate.issued;
    paper.numbered = true;
    const Html body = head(c) + warning(c) + instrument(c) + standards(c) + conditions(c) +
                      results(c) + summary(c) + plots(c) + remarks(c) + signatures(c);
    return html::page("Calibration certificate " + c.number, kStyle, paper, body);
}

}  // namespace kvtapp
