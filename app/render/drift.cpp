// The drift page of an instrument: the error at each test point across its calibration events,
// as one self-contained HTML page (well-formed XML, no scripts) with an inline SVG plot.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "history.h"
#include "report.h"
#include "units.h"

namespace kvtcli {
namespace {

constexpr double kWidth = 780, kHeight = 300;
constexpr double kLeft = 60, kRight = 560, kTop = 16, kBottom = 250;  // the plot area
const char* const kPalette[] = {"#1565c0", "#ef6c00", "#2e7d32", "#6a1b9a",
                                "#00838f", "#ad1457", "#5d4037", "#546e7a"};

const char* const kStyle = R"(
body { font: 14px/1.45 "DejaVu Sans", Arial, sans-serif; color: #222; max-width: 980px;
       margin: 24px auto; padding: 0 16px; }
h1 { font-size: 22px; margin: 0 0 6px; }
svg.plot text { font: 11px "DejaVu Sans", Arial, sans-serif; fill: #333; }
table.points { border-collapse: collapse; margin: 14px 0; font-variant-numeric: tabular-nums; }
table.points th, table.points td { border-bottom: 1px solid #e0e0e0; padding: 3px 9px;
                                   text-align: left; }
table.points th { background: #eceff1; }
td.fail { color: #c62828; font-weight: 600; }
td.pass { color: #2e7d32; font-weight: 600; }
)";

// Positions on the plot: days across, errors in % of span up.
class Axes {
  public:
    Axes(double firstDay, double lastDay, double yHalf) : yHalf_(yHalf) {
        const double pad = std::max(15.0, (lastDay - firstDay) * 0.06);
        low_ = firstDay - pad;
        high_ = lastDay + pad;
    }
    double x(double day) const { return kLeft + (day - low_) / (high_ - low_) * (kRight - kLeft); }
    double y(double v) const {
        return kTop + (yHalf_ - std::clamp(v, -yHalf_, yHalf_)) / (2 * yHalf_) * (kBottom - kTop);
    }
    double low() const { return low_; }
    double high() const { return high_; }
    double half() const { return yHalf_; }

  private:
    double low_ = 0, high_ = 0, yHalf_;
};

double dayOf(const kvtarchive::Event& e) {
    return static_cast<double>(kvtarchive::dayOfStamp(e.date).value_or(0));
}

// The tolerance of an event: the largest of its results', NaN when none has one.
double toleranceOf(const kvtarchive::Event& e) {
    double t = kvtarchive::kNone;
    for (const kvtarchive::Result& r : e.results) {
        if (!std::isnan(r.tolerance)) t = std::isnan(t) ? r.tolerance : std::max(t, r.tolerance);
    }
    return t;
}

std::string marker(bool asLeft, double x, double y, const char* colour) {
    if (asLeft) {
        return fmt::format(R"(<path class="as-left" d="M{0:.1f} {1:.1f} l5 5 l-5 5 l-5 -5 z" )"
                           R"(fill="#fff" stroke="{2}" stroke-width="2" />)",
                           x, y - 5, colour);
    }
    return fmt::format(R"(<circle class="as-found" cx="{:.1f}" cy="{:.1f}" r="4" fill="{}" />)", x,
                       y, colour);
}

// The band as steps: from each event to the next, that event's tolerance.
std::string bands(const std::vector<kvtarchive::Event>& events, const Axes& axes) {
    std::string svg;
    for (size_t i = 0; i < events.size(); ++i) {
        const double t = toleranceOf(events[i]);
        if (std::isnan(t)) continue;
        const double from = i == 0 ? kLeft : axes.x(dayOf(events[i]));
        const double to = i + 1 == events.size() ? kRight : axes.x(dayOf(events[i + 1]));
        svg += fmt::format(
            R"(<rect class="tolerance-band" x="{:.1f}" y="{:.1f}" width="{:.1f}" height="{:.1f}" )"
            R"(fill="#c8e6c9" />)",
            from, axes.y(t), std::max(0.0, to - from), axes.y(-t) - axes.y(t));
    }
    return svg;
}

std::string grid(const Axes& axes) {
    std::string svg;
    const double step = niceStep(axes.half());
    for (double v = -std::floor(axes.half() / step) * step; v <= axes.half() + step / 1e6;
         v += step) {
        const bool zero = std::fabs(v) < step / 1e6;
        svg += fmt::format(R"(<line x1="{0}" y1="{1:.1f}" x2="{2}" y2="{1:.1f}" stroke="{3}" />)"
                           R"(<text x="{4}" y="{5:.1f}" text-anchor="end">{6}</text>)",
                           kLeft, axes.y(v), kRight, zero ? "#888" : "#e4e4e4", kLeft - 6,
                           axes.y(v) + 4, number(zero ? 0 : v, 3));
    }
    for (int i = 0; i <= 4; ++i) {
        const double day = axes.low() + (axes.high() - axes.low()) * (0.1 + 0.2 * i);
        svg += fmt::format(R"(<line x1="{0:.1f}" y1="{1}" x2="{0:.1f}" y2="{2}" stroke="#ccc" />)"
                           R"(<text x="{0:.1f}" y="{3}" text-anchor="middle">{4}</text>)",
                           axes.x(day), kBottom, kBottom + 5, kBottom + 18,
                           kvtarchive::dateOfDay(static_cast<int64_t>(std::lround(day))));
    }
    svg += fmt::format(R"(<text x="{0}" y="{1}" text-anchor="middle">calibration date</text>)"
                       R"(<text x="14" y="{2}" text-anchor="middle" )"
                       R"svg(transform="rotate(-90 14 {2})">error, % of span</text>)svg",
                       (kLeft + kRight) / 2, kBottom + 36, (kTop + kBottom) / 2);
    return svg;
}

// A line through the as-found errors of each test point, then every marker.
std::string series(const std::vector<kvtarchive::Event>& events, const Axes& axes,
                   std::map<int32_t, double>& fractions) {
    std::map<int32_t, std::string> lines;
    std::string markers;
    for (const kvtarchive::Event& e : events) {
        for (const kvtarchive::Result& r : e.results) {
            for (const kvtarchive::Point& p : r.points) {
                if (std::isnan(p.error)) continue;
                fractions.emplace(p.index, p.fraction);
                const char* colour = kPalette[p.index % 8];
                const double x = axes.x(dayOf(e)), y = axes.y(p.error);
                if (!r.asLeft) lines[p.index] += fmt::format("{:.1f},{:.1f} ", x, y);
                markers += marker(r.asLeft, x, y, colour);
            }
        }
    }
    std::string svg;
    for (const auto& [index, points] : lines) {
        svg += fmt::format(R"(<polyline points="{}" fill="none" stroke="{}" stroke-width="1.2" />)",
                           points, kPalette[index % 8]);
    }
    return svg + markers;
}

std::string legend(const std::map<int32_t, double>& fractions, bool banded) {
    const double lx = kRight + 18;
    double y = kTop + 8;
    std::string svg = marker(false, lx + 5, y + 4, "#444") +
                      fmt::format(R"(<text x="{}" y="{}">as found</text>)", lx + 18, y + 8);
    y += 18;
    svg += marker(true, lx + 5, y + 4, "#444") +
           fmt::format(R"(<text x="{}" y="{}">as left</text>)", lx + 18, y + 8);
    if (banded) {
        y += 18;
        svg += fmt::format(R"(<rect x="{}" y="{}" width="12" height="10" fill="#c8e6c9" />)"
                           R"(<text x="{}" y="{}">tolerance</text>)",
                           lx, y, lx + 18, y + 9);
    }
    for (const auto& [index, fraction] : fractions) {
        y += 16;
        if (y > kHeight - 10) break;
        svg +=
            fmt::format(R"(<line x1="{}" y1="{}" x2="{}" y2="{}" stroke="{}" stroke-width="3" />)"
                        R"(<text x="{}" y="{}">point {}: {} %</text>)",
                        lx, y + 4, lx + 12, y + 4, kPalette[index % 8], lx + 18, y + 8, index,
                        number(fraction * 100, 4));
    }
    return svg;
}

std::string driftPlot(const std::vector<kvtarchive::Event>& events) {
    double largest = 0, tolerance = 0;
    for (const kvtarchive::Event& e : events) {
        for (const kvtarchive::Result& r : e.results) {
            for (const kvtarchive::Point& p : r.points) {
                if (!std::isnan(p.error) && !std::isinf(p.error))
                    largest = std::max(largest, std::fabs(p.error));
            }
        }
        const double t = toleranceOf(e);
        if (!std::isnan(t)) tolerance = std::max(tolerance, t);
    }
    const Axes axes(dayOf(events.front()), dayOf(events.back()),
                    std::max({tolerance * 1.6, largest * 1.15, 0.01}));
    std::map<int32_t, double> fractions;
    std::string svg = fmt::format(
        R"(<svg class="plot" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img" )"
        R"(aria-label="error at each test point across the calibration events">)"
        R"(<rect x="{2}" y="{3}" width="{4}" height="{5}" fill="#fff" stroke="#999" />)",
        kWidth, kHeight, kLeft, kTop, kRight - kLeft, kBottom - kTop);
    svg += bands(events, axes) + grid(axes);
    svg += series(events, axes, fractions);
    return svg + legend(fractions, tolerance > 0) + "</svg>";
}

std::string verdictCell(const std::string& verdict) {
    if (verdict.empty()) return "<td>-</td>";
    const char* cls = verdict == "pass" ? "pass" : verdict == "fail" ? "fail" : "none";
    return fmt::format(R"(<td class="{}">{}</td>)", cls, escapeHtml(verdict));
}

std::string eventTable(const std::vector<kvtarchive::Event>& events) {
    std::string html =
        "<table class=\"points\">\n<tr><th>event</th><th>date</th><th>calibrator</th>"
        "<th>technician</th><th>as found</th><th>largest error %</th><th>as left</th>"
        "<th>largest error %</th></tr>\n";
    for (const kvtarchive::Event& e : events) {
        const kvtarchive::Calibrator& c = e.upload.calibrator;
        html += fmt::format(
            "<tr><td>{}</td><td>{}</td><td>{}</td><td>{}</td>{}<td>{}</td>{}<td>{}</td></tr>\n",
            e.id, escapeHtml(e.date), escapeHtml(c.model + " " + c.serialNumber),
            escapeHtml(e.upload.technician), verdictCell(e.asFound), number(e.asFoundError, 3),
            verdictCell(e.asLeft), number(e.asLeftError, 3));
    }
    return html + "</table>\n";
}

}  // namespace

std::string driftPage(const std::string& tag, const std::vector<kvtarchive::Event>& events,
                      const std::string& written) {
    const std::string title = escapeHtml("Drift of " + tag);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n<title>" +
           title + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + title +
           "</h1>\n<p>" +
           escapeHtml(fmt::format("{} calibration events from {} to {}; written {}. The error is "
                                  "(reading - expected) / input span x 100.",
                                  events.size(), events.front().date, events.back().date,
                                  written)) +
           "</p>\n<section>\n" + driftPlot(events) + "\n" + eventTable(events) +
           "</section>\n</body>\n</html>\n";
}

}  // namespace kvtcli
