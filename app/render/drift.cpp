// The drift page of an instrument: the error at each test point across its calibration events
// in a plot, and a table of the events.
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

Html eventTable(const std::vector<Event>& events) {
    Html rows;
    for (const char* heading : {"event", "date", "calibrator", "technician", "as found",
                                "largest error %", "as left", "largest error %"}) {
        rows += tag("th", heading);
    }
    rows = tag("tr", rows) + newline();
    for (const Event& e : events) {
        const Calibrator& c = e.upload.calibrator;
        rows += tag("tr", tag("td", std::to_string(e.id)) + tag("td", e.date) +
                              tag("td", c.model + " " + c.serialNumber) +
                              tag("td", e.upload.technician) + verdictCell(e.asFound) +
                              tag("td", number(e.asFoundError, 3)) + verdictCell(e.asLeft) +
                              tag("td", number(e.asLeftError, 3))) +
                newline();
    }
    return tag("table", {{"class", "points"}}, newline() + rows) + newline();
}

}  // namespace

std::string driftPage(const std::string& tag, const std::vector<Event>& events,
                      const std::string& written) {
    const std::string title = "Drift of " + tag;
    const Html body =
        html::tag("h1", title) + newline() +
        html::tag("p",
                  fmt::format("{} calibration events from {} to {}; written {}. The error is "
                              "(reading - expected) / input span x 100.",
                              events.size(), events.front().date, events.back().date, written)) +
        newline() +
        html::tag("section", newline() + html::driftPlot(events) + newline() + eventTable(events)) +
        newline();
    return html::page(title, std::string(html::kScreenStyle) + kStyle, {}, body);
}

}  // namespace kvtapp
