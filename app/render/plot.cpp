// The error plot of a calibration result, as inline SVG.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "report.h"
#include "units.h"

namespace kvtcli {
namespace {

constexpr double kWidth = 640, kHeight = 250;
constexpr double kLeft = 58, kRight = 500, kTop = 14, kBottom = 210;  // the plot area

const char* const kUpColour = "#1565c0";
const char* const kDownColour = "#ef6c00";

class Plot {
  public:
    Plot(double xLow, double xHigh, double yHalf) : xLow_(xLow), xHigh_(xHigh), yHalf_(yHalf) {}
    double x(double v) const { return kLeft + (v - xLow_) / (xHigh_ - xLow_) * (kRight - kLeft); }
    double y(double v) const { return kTop + (yHalf_ - v) / (2 * yHalf_) * (kBottom - kTop); }

  private:
    double xLow_, xHigh_, yHalf_;
};

std::string marker(bool down, double x, double y, const std::string& extra = "") {
    if (down) {
        return fmt::format(R"(<rect x="{:.1f}" y="{:.1f}" width="8" height="8" fill="{}"{} />)",
                           x - 4, y - 4, kDownColour, extra);
    }
    return fmt::format(R"(<circle cx="{:.1f}" cy="{:.1f}" r="4.5" fill="{}"{} />)", x, y, kUpColour,
                       extra);
}

}  // namespace

double niceStep(double half) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(half / 3)));
    const double f = half / 3 / magnitude;
    return (f < 1.5 ? 1 : f < 3.5 ? 2 : f < 7.5 ? 5 : 10) * magnitude;
}

std::string errorPlot(const ResultView& r) {
    double xLow = 0, xHigh = 100, yMax = 0;
    for (const PointView& p : r.points) {
        xLow = std::min(xLow, p.fraction * 100.0);
        xHigh = std::max(xHigh, p.fraction * 100.0);
        if (!std::isnan(p.error)) yMax = std::max(yMax, std::fabs(p.error));
    }
    const double tolerance = r.setup.tolerance > 0 ? r.setup.tolerance : 0;
    const double yHalf = std::max({tolerance * 1.6, yMax * 1.15, 0.01});
    const Plot plot(xLow, xHigh, yHalf);
    std::string svg = fmt::format(
        R"(<svg class="plot" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img" )"
        R"(aria-label="error against test point">)",
        kWidth, kHeight);
    svg += fmt::format(R"(<rect x="{}" y="{}" width="{}" height="{}" fill="#fff" stroke="#999" />)",
                       kLeft, kTop, kRight - kLeft, kBottom - kTop);
    if (tolerance > 0) {
        svg += fmt::format(
            R"(<rect class="tolerance-band" x="{:.1f}" y="{:.1f}" width="{:.1f}" height="{:.1f}" )"
            R"(fill="#c8e6c9" />)",
            kLeft, plot.y(tolerance), kRight - kLeft, plot.y(-tolerance) - plot.y(tolerance));
    }
    // Grid and labels: errors up the side, points along the bottom.
    const double step = niceStep(yHalf);
    for (double v = -std::floor(yHalf / step) * step; v <= yHalf + step / 1e6; v += step) {
        svg += fmt::format(R"(<line x1="{0}" y1="{1:.1f}" x2="{2}" y2="{1:.1f}" stroke="{3}" />)"
                           R"(<text x="{4}" y="{5:.1f}" text-anchor="end">{6}</text>)",
                           kLeft, plot.y(v), kRight, std::fabs(v) < step / 1e6 ? "#888" : "#e4e4e4",
                           kLeft - 6, plot.y(v) + 4, number(std::fabs(v) < step / 1e6 ? 0 : v, 3));
    }
    for (double v = std::ceil(xLow / 25) * 25; v <= xHigh + 1e-9; v += 25) {
        svg += fmt::format(R"(<line x1="{0:.1f}" y1="{1}" x2="{0:.1f}" y2="{2}" stroke="#ccc" />)"
                           R"(<text x="{0:.1f}" y="{3}" text-anchor="middle">{4}</text>)",
                           plot.x(v), kBottom, kBottom + 5, kBottom + 18, number(v));
    }
    svg += fmt::format(R"(<text x="{}" y="{}" text-anchor="middle">test point, % of span</text>)",
                       (kLeft + kRight) / 2, kBottom + 34);
    svg += fmt::format(R"(<text x="14" y="{0}" text-anchor="middle" )"
                       R"svg(transform="rotate(-90 14 {0})">error, % of span</text>)svg",
                       (kTop + kBottom) / 2);
    // One line per way, in strategy order.
    for (const bool down : {false, true}) {
        std::string points;
        for (const PointView& p : r.points) {
            if (p.down != down || std::isnan(p.error)) continue;
            points += fmt::format("{:.1f},{:.1f} ", plot.x(p.fraction * 100.0), plot.y(p.error));
        }
        if (points.empty()) continue;
        svg += fmt::format(
            R"(<polyline points="{}" fill="none" stroke="{}" stroke-width="1.5"{} />)", points,
            down ? kDownColour : kUpColour, down ? R"( stroke-dasharray="5 3")" : "");
    }
    for (const PointView& p : r.points) {
        if (std::isnan(p.error)) continue;
        const double x = plot.x(p.fraction * 100.0);
        const double y = plot.y(std::clamp(p.error, -yHalf, yHalf));
        svg += marker(p.down, x, y);
        if (p.verdict == Verdict::Fail) {
            svg +=
                fmt::format(R"(<circle class="failed" cx="{:.1f}" cy="{:.1f}" r="8" fill="none" )"
                            R"(stroke="#c62828" stroke-width="2" />)",
                            x, y);
        }
    }
    // The legend, right of the plot.
    const double lx = kRight + 16;
    svg += marker(false, lx + 6, kTop + 12) +
           fmt::format(R"(<text x="{}" y="{}">up the span</text>)", lx + 18, kTop + 16);
    svg += marker(true, lx + 6, kTop + 32) +
           fmt::format(R"(<text x="{}" y="{}">down the span</text>)", lx + 18, kTop + 36);
    if (tolerance > 0) {
        svg += fmt::format(R"(<rect x="{}" y="{}" width="12" height="10" fill="#c8e6c9" />)"
                           R"(<text x="{}" y="{}">tolerance ±{} %</text>)",
                           lx, kTop + 47, lx + 18, kTop + 56, number(tolerance));
    }
    svg += fmt::format(R"(<circle cx="{}" cy="{}" r="6" fill="none" stroke="#c62828" )"
                       R"(stroke-width="2" /><text x="{}" y="{}">outside tolerance</text>)",
                       lx + 6, kTop + 72, lx + 18, kTop + 76);
    return svg + "</svg>";
}

}  // namespace kvtcli
