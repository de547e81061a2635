// The calibration certificate as one HTML page laid out for print: the lab and the
// certificate's number at the top of the first page and in the margins of every page, with
// "Page n of m"; tables kept with their headings and plots whole.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "certificate.h"
#include "report.h"
#include "setup.h"
#include "units.h"

namespace kvtcli {
namespace {

const char* const kStyle = R"(
body { font: 9.5pt/1.35 "DejaVu Sans", Arial, sans-serif; color: #111; margin: 0; }
h1 { font-size: 16pt; margin: 0 0 4pt; }
h2 { font-size: 11pt; margin: 12pt 0 4pt; border-bottom: 1px solid #90a4ae; padding-bottom: 2pt; }
h2, caption { break-after: avoid; }
header.head { display: flex; justify-content: space-between; gap: 16pt;
              border-bottom: 2px solid #37474f; padding-bottom: 6pt; }
.lab-name { font-size: 13pt; font-weight: bold; }
table { border-collapse: collapse; }
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
.keep, figure, svg.plot, .signatures, .warning { break-inside: avoid; }
.warning { border: 2px solid #c62828; background: #ffebee; padding: 6pt 10pt; margin: 8pt 0; }
.warning strong { color: #b71c1c; }
.fail { color: #b71c1c; font-weight: bold; }
.pass { color: #1b5e20; font-weight: bold; }
figure { margin: 6pt 0; }
figcaption { font-weight: 600; }
svg.plot { width: 100%; height: auto; max-width: 160mm; }
svg.plot text { font: 11px "DejaVu Sans", Arial, sans-serif; fill: #333; }
.note { font-size: 8pt; color: #333; }
.signatures { display: flex; gap: 24pt; margin-top: 14pt; }
.signatures div { flex: 1; }
.line { border-bottom: 1px solid #000; height: 18pt; margin-bottom: 2pt; display: flex;
        align-items: flex-end; }
)";

// Text inside a CSS string: quotes, backslashes, markup and control characters as escapes.
std::string cssString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&') {
            out += fmt::format("\\{:x} ", c < 0x20 || c == 0x7F ? 0x20 : int(c));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string pageStyle(const CertificateData& c) {
    const std::string size = c.paper == "letter" ? "letter" : "A4";
    return fmt::format(
        "@page {{ size: {}; margin: 16mm 14mm 18mm 14mm;\n"
        "  @top-left {{ content: {}; font: 8pt sans-serif; color: #555; }}\n"
        "  @top-right {{ content: {}; font: 8pt sans-serif; color: #555; }}\n"
        "  @bottom-left {{ content: {}; font: 8pt sans-serif; color: #555; }}\n"
        "  @bottom-right {{ content: \"Page \" counter(page) \" of \" counter(pages); "
        "font: 8pt sans-serif; }} }}\n",
        size, cssString(c.lab->name), cssString("Calibration certificate " + c.number),
        cssString("Issued " + c.certificate.issued));
}

// Text of several lines, each escaped, the lines kept.
std::string escapeLines(const std::string& text) {
    std::string html;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        html += escapeHtml(text.substr(start, end - start)) + "<br />";
    return html + escapeHtml(text.substr(start));
}

std::string row(const std::string& label, const std::string& html) {
    return "<tr><th>" + escapeHtml(label) + "</th><td>" + html + "</td></tr>\n";
}

std::string verdictText(const std::string& verdict) {
    const char* cls = verdict == "pass" ? "pass" : verdict == "fail" ? "fail" : "";
    return fmt::format(R"(<span class="{}">{}</span>)", cls, escapeHtml(verdict));
}

std::string instrumentName(const ResultView& r) {
    return r.text1.empty() ? r.tag : r.text1;
}

std::string head(const CertificateData& c) {
    const kvtlab::Lab& lab = *c.lab;
    std::string html = "<header class=\"head\">\n<div>\n<div class=\"lab-name\">" +
                       escapeHtml(lab.name) + "</div>\n";
    if (!lab.address.empty()) html += "<div>" + escapeLines(lab.address) + "</div>\n";
    if (!lab.accreditation.empty()) html += "<div>" + escapeHtml(lab.accreditation) + "</div>\n";
    html += "</div>\n<div>\n<h1>Calibration certificate</h1>\n<table class=\"facts\">\n";
    html += row("Certificate number", "<strong>" + escapeHtml(c.number) + "</strong>");
    html += row("Date of calibration", escapeHtml(c.event.date.substr(0, 10)));
    html += row("Date of issue", escapeHtml(c.certificate.issued));
    return html + "</table>\n</div>\n</header>\n";
}

std::string warning(const CertificateData& c) {
    const std::vector<std::string> problems = traceabilityProblems(c);
    if (problems.empty()) return "";
    std::string html =
        "<div class=\"warning\"><strong>Reference standard not in calibration: this "
        "certificate's traceability is not established.</strong>\n<ul>\n";
    for (const std::string& p : problems)
        html += "<li>" + escapeHtml(p) + "</li>\n";
    return html + "</ul>\n</div>\n";
}

std::string instrument(const CertificateData& c) {
    std::string html =
        "<section class=\"keep\">\n<h2>Instrument under test</h2>\n"
        "<table class=\"facts\">\n";
    const ResultView& first = c.results.front();
    html += row("Instrument", escapeHtml(instrumentName(first)));
    html += row("Tag texts", escapeHtml("\"" + first.tag + "\", \"" + first.text1 + "\", \"" +
                                        first.text2 + "\""));
    html += row("Task", escapeHtml(first.taskIndex < 0 ? "none" : first.task));
    const SetupView& s = first.setup;
    html += row("Test", escapeHtml("measures " + describeInput(s) + "; sources " +
                                   describeOutput(s) + "; " + describeRest(s)));
    const std::string left = c.event.asLeft.empty() ? "not adjusted" : c.event.asLeft + " as left";
    html += row("Calibrated",
                escapeHtml(fmt::format("{} ({} as found, {})", c.event.date,
                                       c.event.asFound.empty() ? "none" : c.event.asFound, left)));
    html += row("Archive event", escapeHtml(std::to_string(c.event.id)));
    return html + "</table>\n</section>\n";
}

std::string standards(const CertificateData& c) {
    std::string html =
        "<section class=\"keep\">\n<h2>Reference standards</h2>\n<table class=\"grid\">\n"
        "<thead><tr><th class=\"text\">Standard</th><th class=\"text\">Model</th>"
        "<th class=\"text\">Serial number</th><th class=\"text\">Certificate</th>"
        "<th class=\"text\">Calibrated</th><th class=\"text\">Due</th><th class=\"text\">On the "
        "day of the calibration</th></tr></thead>\n";
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
        html += "<tr>";
        for (size_t i = 0; i < std::size(cells); ++i) {
            const bool words = i == 1 || i == 6;  // the model and the status may wrap
            html += std::string("<td class=\"text") + (words ? " wrap" : "") + "\">" +
                    escapeHtml(cells[i]) + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n</section>\n";
}

std::string conditions(const CertificateData& c) {
    const kvtarchive::Conditions& k = c.certificate.conditions;
    std::string text;
    if (!std::isnan(k.temperature))
        text = "ambient temperature " + number(k.temperature, 4) + " °C";
    if (!std::isnan(k.humidity))
        text += (text.empty() ? "" : ", ") + std::string("relative humidity ") +
                number(k.humidity, 3) + " %";
    if (text.empty()) text = "not stated";
    return "<section class=\"keep\">\n<h2>Environmental conditions</h2>\n<p>" + escapeHtml(text) +
           "</p>\n</section>\n";
}

// The heading cells of one side of the results table.
std::string sideHeadings(const std::string& in, bool uncertainty) {
    std::string html =
        "<th>Reading" + in + "</th><th>Error" + in + "</th><th>Error (% of span)</th>";
    if (uncertainty) html += "<th>U, k = 2" + in + "</th><th>TUR</th>";
    return html + "<th>Verdict</th>";
}

std::string sideCells(const ResultView* r, const PointView* p, double u, bool uncertainty) {
    const int count = uncertainty ? 6 : 4;
    if (!r || !p) {
        std::string empty;
        for (int i = 0; i < count; ++i)
            empty += "<td></td>";
        return empty;
    }
    const PointText t = pointText(*r, *p);
    const DisplayUnit in = scaleUnit(r->setup.input);
    std::string html = "<td>" + escapeHtml(t.reading) + "</td><td>" + escapeHtml(t.error) +
                       "</td><td>" + escapeHtml(t.errorPercent) + "</td>";
    if (uncertainty) {
        const double span = double(r->setup.input.scale[1]) - r->setup.input.scale[0];
        const double ratio = testUncertaintyRatio(r->setup.tolerance * std::fabs(span) / 100, u);
        html += "<td>" + escapeHtml(number(u / in.factor, 2)) + "</td><td>" +
                escapeHtml(std::isnan(ratio) ? "" : fmt::format("{:.1f}", ratio)) + "</td>";
    }
    return html + "<td class=\"text\">" + verdictText(verdictName(p->verdict)) + "</td>";
}

std::string resultsTable(const ResultPair& pair, bool uncertainty) {
    const ResultView& any = pair.found ? *pair.found : *pair.left;
    const SetupView& s = any.setup;
    const DisplayUnit inUnit = scaleUnit(s.input);
    const auto suffix = [](const DisplayUnit& u) {
        return u.symbol.empty() ? std::string() : " (" + escapeHtml(u.symbol) + ")";
    };
    const std::string in = suffix(inUnit);
    const double span = double(s.input.scale[1]) - s.input.scale[0];
    const std::string tolerance =
        s.tolerance > 0
            ? fmt::format("tolerance ±{} % of span (±{} {})", number(s.tolerance),
                          number(s.tolerance * std::fabs(span) / 100 / inUnit.factor, 3),
                          inUnit.symbol)
            : "no tolerance: points are not judged";
    const int sideColumns = uncertainty ? 6 : 4;
    std::string html =
        std::string("<table class=\"grid") + (pair.rows.size() <= 20 ? " keep" : "") +
        "\">\n<caption>" + escapeHtml(instrumentName(any) + ": " + tolerance) +
        "</caption>\n<thead><tr><th rowspan=\"2\">Point (% of span)</th>"
        "<th rowspan=\"2\">Nominal" +
        suffix(scaleUnit(s.output)) + "</th><th rowspan=\"2\">Expected" + in + "</th>";
    for (const ResultView* r : {pair.found, pair.left}) {
        if (r)
            html += fmt::format("<th class=\"side\" colspan=\"{}\">{}</th>", sideColumns,
                                r == pair.found ? "As found" : "As left");
    }
    html += "</tr>\n<tr>";
    for (const ResultView* r : {pair.found, pair.left}) {
        if (r) html += sideHeadings(in, uncertainty);
    }
    html += "</tr></thead>\n";
    for (const PointRow& row : pair.rows) {
        const PointView& p = row.found ? *row.found : *row.left;
        const PointText t = pointText(row.found ? *pair.found : *pair.left, p);
        html += fmt::format("<tr><td>{} {}</td><td>{}</td><td>{}</td>", number(p.fraction * 100.0),
                            p.down ? "↓" : "↑", escapeHtml(t.nominal), escapeHtml(t.expected));
        if (pair.found) html += sideCells(pair.found, row.found, row.foundUncertainty, uncertainty);
        if (pair.left) html += sideCells(pair.left, row.left, row.leftUncertainty, uncertainty);
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

std::string results(const CertificateData& c) {
    std::string html = "<section>\n<h2>Results as found and as left</h2>\n";
    for (const ResultPair& pair : c.pairs)
        html += resultsTable(pair, c.uncertainty);
    for (const ResultView& r : c.results) {
        if (!r.problem.empty())
            html +=
                "<p class=\"fail\">A result does not decode: " + escapeHtml(r.problem) + "</p>\n";
    }
    html +=
        "<p class=\"note\">Error = reading − expected, also in % of the input span; the "
        "expected reading is the test point through the input scale, the nominal value the "
        "same point through the output scale. Readings are shown at the calibrator's "
        "display resolution. ";
    html += c.uncertainty
                ? "U is the expanded uncertainty of the error (k = 2, about 95 % coverage): the "
                  "calibrator's stated accuracy for the reading and for the value sourced (a "
                  "pressure module's for a pressure), each taken as a rectangular distribution, "
                  "combined with half the display's resolution of the reading. TUR is the test "
                  "uncertainty ratio, the tolerance over U."
                : "No uncertainty is stated: " + escapeHtml(c.uncertaintyNote) + ".";
    return html + "</p>\n</section>\n";
}

// The largest error of a result (% of span) with the same in the reading's unit, and the
// largest difference between the ways up and down at one point.
struct Extremes {
    const PointView* largest = nullptr;
    double hysteresis = std::nan("");
};

Extremes extremesOf(const ResultView& r) {
    Extremes e;
    for (const PointView& p : r.points) {
        if (std::isnan(p.error)) continue;
        if (!e.largest || std::fabs(p.error) > std::fabs(e.largest->error)) e.largest = &p;
        for (const PointView& q : r.points) {
            if (q.down && !p.down && q.fraction == p.fraction && !std::isnan(q.error)) {
                const double h = std::fabs(p.error - q.error);
                if (std::isnan(e.hysteresis) || h > e.hysteresis) e.hysteresis = h;
            }
        }
    }
    return e;
}

std::string summaryRow(const ResultView& r) {
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
    return "<tr><td class=\"text\">" + escapeHtml(sideName(r)) + "</td><td class=\"text\">" +
           escapeHtml(largest) + "</td><td class=\"text\">" + escapeHtml(hysteresis) +
           "</td><td class=\"text\">" + verdictText(verdictName(r.verdict)) + "</td></tr>\n";
}

std::string summary(const CertificateData& c) {
    std::string html =
        "<section class=\"keep\">\n<h2>Summary</h2>\n<table class=\"grid\">\n<thead><tr>"
        "<th class=\"text\"></th><th class=\"text\">Largest error</th>"
        "<th class=\"text\">Hysteresis (up against down)</th><th class=\"text\">Verdict</th>"
        "</tr></thead>\n";
    for (const ResultView& r : c.results) {
        if (!r.points.empty()) html += summaryRow(r);
    }
    html += "</table>\n<p>Verdict as found: " +
            verdictText(c.event.asFound.empty() ? "none" : c.event.asFound) + "; as left: " +
            (c.event.asLeft.empty() ? escapeHtml("not adjusted, as found stands")
                                    : verdictText(c.event.asLeft)) +
            ".</p>\n";
    return html + "</section>\n";
}

std::string plots(const CertificateData& c) {
    std::string html = "<section>\n<h2>Error plots</h2>\n";
    for (const ResultView& r : c.results) {
        if (r.points.empty()) continue;
        html += "<figure>\n<figcaption>" + escapeHtml(instrumentName(r) + ", " + sideName(r)) +
                "</figcaption>\n" + errorPlot(r) + "\n</figure>\n";
    }
    return html + "</section>\n";
}

std::string remarks(const CertificateData& c) {
    const std::string& text = c.certificate.conditions.remarks;
    return "<section class=\"keep\">\n<h2>Remarks</h2>\n<p>" +
           escapeLines(text.empty() ? "None." : text) + "</p>\n</section>\n";
}

std::string signatures(const CertificateData& c) {
    const auto block = [](const std::string& role, const std::string& name) {
        return "<div><p><strong>" + role + "</strong></p>\n<p>Name: " +
               (name.empty() ? std::string("<span class=\"line\"></span>") : escapeHtml(name)) +
               "</p>\n<div class=\"line\"></div>Signature\n<div "
               "class=\"line\"></div>Date\n</div>\n";
    };
    return "<section class=\"signatures\">\n" + block("Technician", c.technician) +
           block("Reviewer", "") + "</section>\n";
}

}  // namespace

std::string certificateHtml(const CertificateData& c) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'\" />\n<title>" +
        escapeHtml("Calibration certificate " + c.number) + "</title>\n<style>" + kStyle +
        pageStyle(c) + "</style>\n</head>\n<body>\n";
    html += head(c) + warning(c) + instrument(c) + standards(c) + conditions(c) + results(c) +
            summary(c) + plots(c) + remarks(c) + signatures(c);
    return html + "</body>\n</html>\n";
}

}  // namespace kvtcli
