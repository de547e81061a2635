// The drift page of an instrument: the error at each test point across its calibrations in a
// plot, and a table of the calibrations.
#include <fmt/format.h>

#include "base/units.h"
#include "render/page.h"
#include "render/plot.h"
#include "render/report.h"

namespace kvtapp {
namespace {

using html::Html;
using html::newline;
using html::tag;

const char* const kStyle = R"(
h1 { font-size: 22px; margin: 0 0 6px; }
table.points { margin: 14px 0; font-variant-numeric: tabular-nums; }
table.points th, table.points td { border-bottom: 1px solid #e0e0e0; padding: 3px 9px;
                                   text-align: left; }
table.points th { background: #eceff1; }
td.fail { color: #c62828; font-weight: 600; }
td.pass { color: #2e7d32; font-weight: 600; }
)";

Html verdictCell(const std::optional<Verdict>& verdict) {
    if (!verdict) return tag("td", "-");
    const char* cls = *verdict == Verdict::Pass   ? "pass"
                      : *verdict == Verdict::Fail ? "fail"
                                                  : "none";
    return tag("td", {{"class", cls}}, verdictName(*verdict));
}

std::string calibrators(const Calibration& c) {
    std::string text;
    for (const Upload& u : c.uploads) {
        const std::string one = u.calibrator.model + " " + u.calibrator.serialNumber;
        if (text.find(one) == std::string::npos) text += (text.empty() ? "" : ", ") + one;
    }
    return text;
}

std::string technicians(const Calibration& c) {
    std::string text;
    for (const Upload& u : c.uploads) {
        if (!u.technician.empty() && text.find(u.technician) == std::string::npos)
            text += (text.empty() ? "" : ", ") + u.technician;
    }
    return text;
}

Html calibrationTable(const std::vector<Calibration>& calibrations) {
    Html rows;
    for (const char* heading : {"calibration", "date", "calibrator", "technician", "as found",
                                "largest error %", "as left", "largest error %"}) {
        rows += tag("th", heading);
    }
    rows = tag("tr", rows) + newline();
    for (const Calibration& c : calibrations) {
        const std::string note = dateNote(c);
        rows += tag("tr", tag("td", std::to_string(c.id)) +
                              tag("td", c.date + (note.empty() ? "" : " (" + note + ")")) +
                              tag("td", calibrators(c)) + tag("td", technicians(c)) +
                              verdictCell(c.asFound) + tag("td", number(c.asFoundError, 3)) +
                              verdictCell(c.asLeft) + tag("td", number(c.asLeftError, 3))) +
                newline();
    }
    return tag("table", {{"class", "points"}}, newline() + rows) + newline();
}

}  // namespace

std::string driftPage(const std::string& tag, const std::vector<Calibration>& calibrations,
                      const std::string& written) {
    const std::string title = "Drift of " + tag;
    const Html body =
        html::tag("h1", title) + newline() +
        html::tag("p", fmt::format("{} calibrations from {} to {}; written {}. The error is "
                                   "(reading - expected) / input span x 100. Calibrations "
                                   "without a believed or confirmed date are listed but not "
                                   "plotted.",
                                   calibrations.size(), calibrations.front().date,
                                   calibrations.back().date, written)) +
        newline() +
        html::tag("section", newline() + html::driftPlot(calibrations) + newline() +
                                 calibrationTable(calibrations)) +
        newline();
    return html::page(title, std::string(html::kScreenStyle) + kStyle, {}, body);
}

}  // namespace kvtapp
