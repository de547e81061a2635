// The calibration report as one HTML page, written as well-formed XML so that any XML tool
// reads it too.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "image.h"
#include "kvtlnk/kvtlnk.h"
#include "report.h"
#include "units.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

const char* const kStyle = R"(
body { font: 14px/1.45 "DejaVu Sans", Arial, sans-serif; color: #222; max-width: 980px;
       margin: 24px auto; padding: 0 16px; }
h1 { font-size: 24px; margin: 0 0 8px; }
h2 { font-size: 18px; margin: 0 0 8px; }
table { border-collapse: collapse; }
.facts th, .facts td { text-align: left; vertical-align: top; padding: 1px 14px 1px 0; }
.facts th { font-weight: normal; color: #555; white-space: nowrap; }
.columns { display: flex; gap: 32px; flex-wrap: wrap; }
.formula { background: #f5f5f5; border-left: 4px solid #90a4ae; padding: 8px 12px; }
section.result { border: 1px solid #cfd8dc; border-radius: 6px; padding: 14px 18px;
                 margin: 18px 0; }
h2 { break-after: avoid; }
table, svg.plot { break-inside: avoid; }
@page { margin: 15mm; }
@media print { body { max-width: none; margin: 0; padding: 0; } }
.points { width: 100%; margin: 12px 0; font-variant-numeric: tabular-nums; }
.points th, .points td { border-bottom: 1px solid #e0e0e0; padding: 3px 7px; text-align: right; }
.points th { background: #eceff1; font-weight: 600; vertical-align: bottom; }
.points td.text { text-align: left; white-space: nowrap; }
.verdict { display: inline-block; min-width: 44px; text-align: center; padding: 0 8px;
           border-radius: 4px; color: #fff; font-weight: 600; }
.pass { background: #2e7d32; }
.fail { background: #c62828; }
.none { background: #78909c; }
tr.failed td { background: #ffebee; }
svg.plot text { font: 11px "DejaVu Sans", Arial, sans-serif; fill: #333; }
.problem { color: #c62828; }
)";

std::string badge(Verdict v) {
    const char* cls = v == Verdict::Pass ? "pass" : v == Verdict::Fail ? "fail" : "none";
    std::string name = verdictName(v);
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    return fmt::format(R"(<span class="verdict {}">{}</span>)", cls, name);
}

std::string row(const std::string& label, const std::string& html) {
    return "<tr><th>" + escapeHtml(label) + "</th><td>" + html + "</td></tr>\n";
}

std::string header(const std::vector<ResultView>& results, const ReportSource& source) {
    const json& c = source.calibrator;
    std::string facts;
    if (c.is_object()) {
        std::string identity = calibratorText(c, "model");
        for (const char* key : {"firmware", "serialNumber"}) {
            if (calibratorText(c, key).empty()) continue;
            identity +=
                (key[0] == 'f' ? ", firmware " : ", serial number ") + calibratorText(c, key);
        }
        facts += row("Calibrator", escapeHtml(identity));
        const std::string uploaded = calibratorText(c, "uploaded");
        if (!uploaded.empty()) facts += row("Uploaded", escapeHtml(uploaded));
    }
    facts += row("From", escapeHtml(source.origin));
    char library[KVTLNK_VERSION_SIZE] = {};
    KVTversion(library);
    facts += row("Written", escapeHtml(source.written + " by kvtlnk " KVTLNK_VERSION ", library " +
                                       std::string(library)));
    const auto count = [&](Verdict v) {
        return std::count_if(results.begin(), results.end(),
                             [v](const ResultView& r) { return r.verdict == v; });
    };
    facts += row("Overall verdict",
                 badge(overallVerdict(results)) +
                     escapeHtml(fmt::format(" {} passed, {} failed, {} not judged, of {}",
                                            count(Verdict::Pass), count(Verdict::Fail),
                                            count(Verdict::None), results.size())));
    return "<header>\n<h1>Calibration report</h1>\n<table class=\"facts\">\n" + facts +
           "</table>\n"
           "<p class=\"formula\">Each test point is a fraction p of the span (the strategy's "
           "point). The calibrator sources the nominal value <i>output low + p × (output high − "
           "output low)</i> of the output scale; the ideal reading is <i>expected = input low + "
           "p × (input high − input low)</i> of the input scale. The error is <i>error = "
           "(reading − expected) ÷ (input high − input low) × 100</i>, in % of the input span, "
           "and a point passes when <i>|error| ≤ tolerance</i>, the setup's test tolerance in % "
           "of the span. The reading is what the calibrator measured, as found, or for a result "
           "it recorded as left the reading after adjustment, shown at the display's "
           "resolution; the error is also given in the reading's unit, and the recorded error "
           "is the error the calibrator itself recorded, in % of the input span.</p>\n"
           "</header>\n";
}

std::string identification(const ResultView& r) {
    std::string facts =
        row("Tag texts", escapeHtml("\"" + r.tag + "\", \"" + r.text1 + "\", \"" + r.text2 + "\""));
    facts += row("Task", escapeHtml(r.taskIndex < 0 ? "none found" : "\"" + r.task + "\""));
    facts +=
        row("Strategy", escapeHtml(fmt::format("\"{}\", {} points", r.strategy, r.points.size())));
    facts += row("Taken", escapeHtml(r.taken));
    facts += row("Calibration",
                 escapeHtml(r.flagged ? "as left: readings after adjustment" : "as found"));
    return "<table class=\"facts\">\n" + facts + "</table>\n";
}

std::string setupFacts(const ResultView& r) {
    const SetupView& s = r.setup;
    std::string facts = row("Measures", escapeHtml(describeInput(s)));
    facts += row("Sources", escapeHtml(describeOutput(s)));
    facts += row("Loop power", escapeHtml(loopPowerText(s)));
    facts += row("Tolerance", escapeHtml(s.tolerance > 0 ? "±" + number(s.tolerance) + " % of span"
                                                         : "none: points are not judged"));
    if (unitFamily(s.input.function) == UnitFamily::Temperature ||
        unitFamily(s.output.function) == UnitFamily::Temperature) {
        facts += row("Temperatures", escapeHtml(describeTemperatures(s)));
    }
    return "<table class=\"facts\">\n" + facts + "</table>\n";
}

std::string cell(const std::string& text) {
    return "<td>" + escapeHtml(text) + "</td>";
}

std::string pointsTable(const ResultView& r) {
    const SetupView& s = r.setup;
    const auto unitSuffix = [](const SideView& side) {
        const std::string symbol = scaleUnit(side).symbol;
        return symbol.empty() ? "" : " (" + escapeHtml(symbol) + ")";
    };
    const std::string in = unitSuffix(s.input);
    const std::string out = unitSuffix(s.output);
    std::string html = "<table class=\"points\">\n<tr><th>Point</th><th>Way</th><th>% of span</th>";
    html += "<th>Nominal source" + out + "</th><th>Source" + out + "</th><th>Expected reading" +
            in + "</th><th>" + (r.flagged ? "Reading after adjustment" : "Reading") + in +
            "</th><th>Error" + in +
            "</th><th>Error (% of span)</th><th>Recorded error (% of span)</th>"
            "<th>Tolerance (% of span)</th><th>Verdict</th></tr>\n";
    for (const PointView& p : r.points) {
        const PointText t = pointText(r, p);
        html += p.verdict == Verdict::Fail ? "<tr class=\"failed\">" : "<tr>";
        html += fmt::format("<td>{}</td><td class=\"text\">{}</td><td>{}</td>", p.index,
                            p.down ? "↓ down" : "↑ up", escapeHtml(number(p.fraction * 100.0)));
        html += cell(t.nominal) + cell(t.source) + cell(t.expected) + cell(t.reading) +
                cell(t.error) + cell(t.errorPercent) + cell(t.recorded);
        html += cell(s.tolerance > 0 ? "±" + number(s.tolerance) : "");
        html += "<td class=\"text\">" + badge(p.verdict) +
                (p.beyondRange ? " beyond the range" : "") + "</td></tr>\n";
    }
    return html + "</table>\n";
}

std::string section(const ResultView& r) {
    std::string html = fmt::format("<section class=\"result\" id=\"result-{}\">\n<h2>", r.index);
    html += escapeHtml(r.text1 + (r.text2.empty() ? "" : " · " + r.text2) + " · " + sideName(r)) +
            " " + badge(r.verdict) + "</h2>\n";
    html += "<div class=\"columns\">\n" + identification(r);
    if (r.problem.empty() || !r.points.empty()) html += setupFacts(r);
    html += "</div>\n";
    if (!r.problem.empty()) {
        html += "<p class=\"problem\">Does not decode: " + escapeHtml(r.problem) + "</p>\n";
    }
    if (!r.points.empty()) html += pointsTable(r) + errorPlot(r) + "\n";
    return html + "</section>\n";
}

}  // namespace

std::string reportHtml(const std::vector<ResultView>& results, const ReportSource& source) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n"
        "<title>Calibration report</title>\n<style>" +
        std::string(kStyle) + "</style>\n</head>\n<body>\n" + header(results, source);
    if (results.empty()) html += "<p>The results memory holds no calibration result.</p>\n";
    for (const ResultView& r : results)
        html += section(r);
    return html + "</body>\n</html>\n";
}

}  // namespace kvtcli
