// The calibration report.
#include "render/report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "base/units.h"
#include "render/page.h"
#include "render/plot.h"

namespace kvtapp {
namespace {

using html::Html;
using html::newline;
using html::tag;

const char* const kStyle = R"(
h1 { font-size: 24px; margin: 0 0 8px; }
h2 { font-size: 18px; margin: 0 0 8px; }
.facts th, .facts td { text-align: left; vertical-align: top; padding: 1px 14px 1px 0; }
.facts th { font-weight: normal; color: #555; white-space: nowrap; }
.columns { display: flex; gap: 32px; flex-wrap: wrap; }
.formula { background: #f5f5f5; border-left: 4px solid #90a4ae; padding: 8px 12px; }
section.result { border: 1px solid #cfd8dc; border-radius: 6px; padding: 14px 18px;
                 margin: 18px 0; }
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
.problem { color: #c62828; }
)";

Html badge(Verdict v) {
    const char* cls = v == Verdict::Pass ? "pass" : v == Verdict::Fail ? "fail" : "none";
    std::string name = verdictName(v);
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    return tag("span", {{"class", std::string("verdict ") + cls}}, name);
}

Html row(const std::string& label, const Html& value) {
    return tag("tr", tag("th", label) + tag("td", value)) + newline();
}

Html facts(const Html& rows) {
    return tag("table", {{"class", "facts"}}, newline() + rows) + newline();
}

Html formula() {
    const auto i = [](const char* text) { return tag("i", text); };
    return tag("p", {{"class", "formula"}},
               Html("Each test point is a fraction p of the span (the strategy's point). The "
                    "calibrator sources the nominal value ") +
                   i("output low + p × (output high − output low)") +
                   " of the output scale; the ideal reading is " +
                   i("expected = input low + p × (input high − input low)") +
                   " of the input scale. The error is " +
                   i("error = (reading − expected) ÷ (input high − input low) × 100") +
                   ", in % of the input span, and a point passes when " + i("|error| ≤ tolerance") +
                   ", the setup's test tolerance in % of the span. The reading is what the "
                   "calibrator measured, as found, or for a result it recorded as left the "
                   "reading after adjustment, shown at the display's resolution; the error is "
                   "also given in the reading's unit, and the recorded error is the error the "
                   "calibrator itself recorded, in % of the input span.") +
           newline();
}

Html header(const std::vector<Result>& results, const ReportSource& source) {
    Html rows;
    if (source.calibrator) {
        const Calibrator& c = *source.calibrator;
        std::string identity = c.model;
        if (!c.firmware.empty()) identity += ", firmware " + c.firmware;
        if (!c.serialNumber.empty()) identity += ", serial number " + c.serialNumber;
        rows += row("Calibrator", identity);
        if (!source.uploaded.empty()) rows += row("Uploaded", source.uploaded);
    }
    rows += row("From", source.origin);
    rows += row("Written", source.written + " by " + source.writer);
    const auto count = [&](Verdict v) {
        return std::count_if(results.begin(), results.end(),
                             [v](const Result& r) { return r.verdict == v; });
    };
    rows += row("Overall verdict",
                badge(overallVerdict(results)) +
                    fmt::format(" {} passed, {} failed, {} not judged, of {}", count(Verdict::Pass),
                                count(Verdict::Fail), count(Verdict::None), results.size()));
    return tag("header",
               newline() + tag("h1", "Calibration report") + newline() + facts(rows) + formula()) +
           newline();
}

Html identification(const Result& r) {
    Html rows = row("Tag texts", "\"" + r.tag + "\", \"" + r.text1 + "\", \"" + r.text2 + "\"");
    rows += row("Task", r.taskIndex < 0 ? "none found" : "\"" + r.task + "\"");
    rows += row("Strategy", fmt::format("\"{}\", {} points", r.strategy, r.points.size()));
    rows += row("Taken", r.taken);
    rows += row("Calibration", r.flagged ? "as left: readings after adjustment" : "as found");
    return facts(rows);
}

Html setupFacts(const Result& r) {
    const Setup& s = r.setup;
    Html rows = row("Measures", describeInput(s));
    rows += row("Sources", describeOutput(s));
    rows += row("Loop power", loopPowerText(s));
    rows += row("Tolerance", s.tolerance > 0 ? "±" + number(s.tolerance) + " % of span"
                                             : "none: points are not judged");
    if (unitFamily(s.input.function) == UnitFamily::Temperature ||
        unitFamily(s.output.function) == UnitFamily::Temperature) {
        rows += row("Temperatures", describeTemperatures(s));
    }
    return facts(rows);
}

// " (mA)" after a heading, nothing for a side without a unit.
std::string unitSuffix(const Side& side) {
    const std::string symbol = scaleUnit(side).symbol;
    return symbol.empty() ? "" : " (" + symbol + ")";
}

Html pointsTable(const Result& r) {
    const Setup& s = r.setup;
    const std::string in = unitSuffix(s.input);
    const std::string out = unitSuffix(s.output);
    Html head;
    for (const std::string& heading :
         {std::string("Point"), std::string("Way"), std::string("% of span"),
          "Nominal source" + out, "Source" + out, "Expected reading" + in,
          (r.flagged ? "Reading after adjustment" : "Reading") + in, "Error" + in,
          std::string("Error (% of span)"), std::string("Recorded error (% of span)"),
          std::string("Tolerance (% of span)"), std::string("Verdict")}) {
        head += tag("th", heading);
    }
    Html rows = tag("tr", head) + newline();
    for (const Point& p : r.points) {
        const PointText t = pointText(r, p);
        Html cells = tag("td", std::to_string(p.index)) +
                     tag("td", {{"class", "text"}}, p.down ? "↓ down" : "↑ up") +
                     tag("td", number(p.fraction * 100.0));
        for (const std::string* text : {&t.nominal, &t.source, &t.expected, &t.reading, &t.error,
                                        &t.errorPercent, &t.recorded}) {
            cells += tag("td", *text);
        }
        cells += tag("td", s.tolerance > 0 ? "±" + number(s.tolerance) : "");
        cells += tag("td", {{"class", "text"}},
                     badge(p.verdict) + (p.beyondRange ? " beyond the range" : ""));
        rows += (p.verdict == Verdict::Fail ? tag("tr", {{"class", "failed"}}, cells)
                                            : tag("tr", cells)) +
                newline();
    }
    return tag("table", {{"class", "points"}}, newline() + rows) + newline();
}

Html section(const Result& r) {
    Html content = tag("h2", r.text1 + (r.text2.empty() ? "" : " · " + r.text2) + " · " +
                                 sideName(r) + " " + badge(r.verdict)) +
                   newline();
    Html columns = identification(r);
    if (r.problem.empty() || !r.points.empty()) columns += setupFacts(r);
    content += tag("div", {{"class", "columns"}}, newline() + columns) + newline();
    if (!r.problem.empty())
        content += tag("p", {{"class", "problem"}}, "Does not decode: " + r.problem) + newline();
    if (!r.points.empty()) content += pointsTable(r) + html::errorPlot(r) + newline();
    return tag("section", {{"class", "result"}, {"id", "result-" + std::to_string(r.index)}},
               newline() + content) +
           newline();
}

}  // namespace

std::string reportHtml(const std::vector<Result>& results, const ReportSource& source) {
    Html body = header(results, source);
    if (results.empty())
        body += tag("p", "The results memory holds no calibration result.") + newline();
    for (const Result& r : results)
        body += section(r);
    return html::page("Calibration report", std::string(html::kScreenStyle) + kStyle, {}, body);
}

}  // namespace kvtapp
