#include "render/plot.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "base/time.h"
#include "base/units.h"

namespace kvtapp::html {
namespace {

const char* const kUpColour = "#1565c0";
const char* const kDownColour = "#ef6c00";
const char* const kBandColour = "#c8e6c9";
const char* const kFailColour = "#c62828";
const char* const kPalette[] = {"#1565c0", "#ef6c00", "#2e7d32", "#6a1b9a",
                                "#00838f", "#ad1457", "#5d4037", "#546e7a"};

std::string at(double v) {
    return coordinate(v);
}

// A drawing area: its size, the plot's box within it, and the error axis, % of span up, from
// -half to +half.
struct Frame {
    double width, height;
    double left, right, top, bottom;
    double half;

    double y(double v) const {
        return top + (half - std::clamp(v, -half, half)) / (2 * half) * (bottom - top);
    }
};

// The attributes with a class first, when there is one.
Attributes classed(const char* cls, Attributes rest) {
    if (cls) rest.insert(rest.begin(), {"class", cls});
    return rest;
}

Html text(double x, double y, const std::string& words, const Attributes& more = {}) {
    Attributes a = {{"x", at(x)}, {"y", at(y)}};
    a.insert(a.end(), more.begin(), more.end());
    return tag("text", a, words);
}

Html rect(double x, double y, double width, double height, const char* fill,
          const char* cls = nullptr) {
    return empty("rect", classed(cls, {{"x", at(x)},
                                       {"y", at(y)},
                                       {"width", at(width)},
                                       {"height", at(height)},
                                       {"fill", fill}}));
}

Html line(double x1, double y1, double x2, double y2, const char* stroke,
          const char* width = nullptr) {
    Attributes a = {
        {"x1", at(x1)}, {"y1", at(y1)}, {"x2", at(x2)}, {"y2", at(y2)}, {"stroke", stroke}};
    if (width) a.push_back({"stroke-width", width});
    return empty("line", a);
}

Html circle(double x, double y, double r, const char* fill, const char* cls = nullptr,
            const char* stroke = nullptr) {
    Attributes a = classed(cls, {{"cx", at(x)}, {"cy", at(y)}, {"r", at(r)}, {"fill", fill}});
    if (stroke) a.insert(a.end(), {{"stroke", stroke}, {"stroke-width", "2"}});
    return empty("circle", a);
}

// The SVG element with its white plot box.
Html drawing(const Frame& f, const std::string& label, const Html& content) {
    const std::string w = number(f.width), h = number(f.height);
    return tag("svg",
               {{"class", "plot"},
                {"width", w},
                {"height", h},
                {"viewBox", "0 0 " + w + " " + h},
                {"role", "img"},
                {"aria-label", label}},
               empty("rect", {{"x", at(f.left)},
                              {"y", at(f.top)},
                              {"width", at(f.right - f.left)},
                              {"height", at(f.bottom - f.top)},
                              {"fill", "#fff"},
                              {"stroke", "#999"}}) +
                   content);
}

// The error axis: a grid line and a label at every step, the zero line darker; and the axes'
// titles.
Html errorGrid(const Frame& f, const std::string& across, double acrossBelow) {
    Html svg;
    const double step = niceStep(f.half);
    for (double v = -std::floor(f.half / step) * step; v <= f.half + step / 1e6; v += step) {
        const bool zero = std::fabs(v) < step / 1e6;
        svg += line(f.left, f.y(v), f.right, f.y(v), zero ? "#888" : "#e4e4e4") +
               text(f.left - 6, f.y(v) + 4, number(zero ? 0 : v, 3), {{"text-anchor", "end"}});
    }
    const double middle = (f.top + f.bottom) / 2;
    return svg +
           text((f.left + f.right) / 2, f.bottom + acrossBelow, across,
                {{"text-anchor", "middle"}}) +
           text(14, middle, "error, % of span",
                {{"text-anchor", "middle"}, {"transform", "rotate(-90 14 " + at(middle) + ")"}});
}

Html band(double x, double width, const Frame& f, double tolerance) {
    return rect(x, f.y(tolerance), width, f.y(-tolerance) - f.y(tolerance), kBandColour,
                "tolerance-band");
}

Html polyline(const std::string& points, const char* colour, const char* width,
              bool dashed = false) {
    Attributes a = {
        {"points", points}, {"fill", "none"}, {"stroke", colour}, {"stroke-width", width}};
    if (dashed) a.push_back({"stroke-dasharray", "5 3"});
    return empty("polyline", a);
}

// A legend's entry: a marker at (x, y) and its words beside it.
Html entry(const Html& marker, double x, double y, const std::string& words) {
    return marker + text(x + 18, y, words);
}

// The error plot's markers: a circle up the span, a square down.
Html wayMarker(bool down, double x, double y) {
    if (down) return rect(x - 4, y - 4, 8, 8, kDownColour);
    return circle(x, y, 4.5, kUpColour);
}

// The drift plot's markers: a dot as found, an open diamond as left.
Html sideMarker(bool asLeft, double x, double y, const char* colour) {
    if (asLeft) {
        return empty("path", {{"class", "as-left"},
                              {"d", "M" + at(x) + " " + at(y - 5) + " l5 5 l-5 5 l-5 -5 z"},
                              {"fill", "#fff"},
                              {"stroke", colour},
                              {"stroke-width", "2"}});
    }
    return circle(x, y, 4, colour, "as-found");
}

double dayOf(const Calibration& e) {
    return static_cast<double>(calibrationDay(e).value_or(0));
}

// The tolerance of a calibration: the largest of its results', NaN when none has one.
double toleranceOf(const Calibration& e) {
    double t = kNone;
    for (const Result& r : e.results) {
        const double own = kvtapp::toleranceOf(r);
        if (!std::isnan(own)) t = std::isnan(t) ? own : std::max(t, own);
    }
    return t;
}

}  // namespace

double niceStep(double half) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(half / 3)));
    const double f = half / 3 / magnitude;
    return (f < 1.5 ? 1 : f < 3.5 ? 2 : f < 7.5 ? 5 : 10) * magnitude;
}

Html errorPlot(const Result& r) {
    double xLow = 0, xHigh = 100, yMax = 0;
    for (const Point& p : r.points) {
        xLow = std::min(xLow, p.fraction * 100.0);
        xHigh = std::max(xHigh, p.fraction * 100.0);
        if (!std::isnan(p.error)) yMax = std::max(yMax, std::fabs(p.error));
    }
    const double tolerance = r.setup.tolerance > 0 ? r.setup.tolerance : 0;
    const Frame f{640, 250, 58, 500, 14, 210, std::max({tolerance * 1.6, yMax * 1.15, 0.01})};
    const auto x = [&](double v) {
        return f.left + (v - xLow) / (xHigh - xLow) * (f.right - f.left);
    };
    Html svg;
    if (tolerance > 0) svg += band(f.left, f.right - f.left, f, tolerance);
    svg += errorGrid(f, "test point, % of span", 34);
    for (double v = std::ceil(xLow / 25) * 25; v <= xHigh + 1e-9; v += 25) {
        svg += line(x(v), f.bottom, x(v), f.bottom + 5, "#ccc") +
               text(x(v), f.bottom + 18, number(v), {{"text-anchor", "middle"}});
    }
    // One line per way, in strategy order.
    for (const bool down : {false, true}) {
        std::string points;
        for (const Point& p : r.points) {
            if (p.down != down || std::isnan(p.error)) continue;
            points += at(x(p.fraction * 100.0)) + "," + at(f.y(p.error)) + " ";
        }
        if (!points.empty()) svg += polyline(points, down ? kDownColour : kUpColour, "1.5", down);
    }
    for (const Point& p : r.points) {
        if (std::isnan(p.error)) continue;
        svg += wayMarker(p.down, x(p.fraction * 100.0), f.y(p.error));
        if (p.verdict == Verdict::Fail)
            svg += circle(x(p.fraction * 100.0), f.y(p.error), 8, "none", "failed", kFailColour);
    }
    // The legend, right of the plot.
    const double lx = f.right + 16;
    svg += entry(wayMarker(false, lx + 6, f.top + 12), lx, f.top + 16, "up the span");
    svg += entry(wayMarker(true, lx + 6, f.top + 32), lx, f.top + 36, "down the span");
    if (tolerance > 0) {
        svg += entry(rect(lx, f.top + 47, 12, 10, kBandColour), lx, f.top + 56,
                     "tolerance ±" + number(tolerance) + " %");
    }
    svg += entry(circle(lx + 6, f.top + 72, 6, "none", nullptr, kFailColour), lx, f.top + 76,
                 "outside tolerance");
    return drawing(f, "error against test point", svg);
}

Html driftPlot(const std::vector<Calibration>& all) {
    // Only calibrations with a day have a place in time.
    std::vector<Calibration> events;
    for (const Calibration& c : all) {
        if (calibrationDay(c)) events.push_back(c);
    }
    if (events.empty()) return {};
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return dayOf(a) < dayOf(b); });
    double largest = 0, tolerance = 0;
    for (const Calibration& e : events) {
        for (const Result& r : e.results) {
            for (const Point& p : r.points) {
                if (!std::isnan(p.error) && !std::isinf(p.error))
                    largest = std::max(largest, std::fabs(p.error));
            }
        }
        const double t = toleranceOf(e);
        if (!std::isnan(t)) tolerance = std::max(tolerance, t);
    }
    const Frame f{780, 300, 60, 560, 16, 250, std::max({tolerance * 1.6, largest * 1.15, 0.01})};
    const double first = dayOf(events.front()), last = dayOf(events.back());
    const double pad = std::max(15.0, (last - first) * 0.06);
    const double low = first - pad, high = last + pad;
    const auto x = [&](double day) {
        return f.left + (day - low) / (high - low) * (f.right - f.left);
    };

    // The band as steps: from each event to the next, that event's tolerance.
    Html svg;
    for (size_t i = 0; i < events.size(); ++i) {
        const double t = toleranceOf(events[i]);
        if (std::isnan(t)) continue;
        const double from = i == 0 ? f.left : x(dayOf(events[i]));
        const double to = i + 1 == events.size() ? f.right : x(dayOf(events[i + 1]));
        svg += band(from, std::max(0.0, to - from), f, t);
    }
    svg += errorGrid(f, "calibration date", 36);
    for (int i = 0; i <= 4; ++i) {
        const double day = low + (high - low) * (0.1 + 0.2 * i);
        svg += line(x(day), f.bottom, x(day), f.bottom + 5, "#ccc") +
               text(x(day), f.bottom + 18, dateOfDay(static_cast<int64_t>(std::lround(day))),
                    {{"text-anchor", "middle"}});
    }
    // A line through the as-found errors of each test point, then every marker.
    std::map<int32_t, std::string> lines;
    std::map<int32_t, double> fractions;
    Html markers;
    for (const Calibration& e : events) {
        for (const Result& r : e.results) {
            for (const Point& p : r.points) {
                if (std::isnan(p.error)) continue;
                fractions.emplace(p.index, p.fraction);
                const double px = x(dayOf(e)), py = f.y(p.error);
                if (!r.flagged) lines[p.index] += at(px) + "," + at(py) + " ";
                markers += sideMarker(r.flagged, px, py, kPalette[p.index % 8]);
            }
        }
    }
    for (const auto& [index, points] : lines)
        svg += polyline(points, kPalette[index % 8], "1.2");
    svg += markers;
    // The legend, right of the plot.
    const double lx = f.right + 18;
    double y = f.top + 8;
    svg += entry(sideMarker(false, lx + 5, y + 4, "#444"), lx, y + 8, "as found");
    y += 18;
    svg += entry(sideMarker(true, lx + 5, y + 4, "#444"), lx, y + 8, "as left");
    if (tolerance > 0) {
        y += 18;
        svg += entry(rect(lx, y, 12, 10, kBandColour), lx, y + 9, "tolerance");
    }
    for (const auto& [index, fraction] : fractions) {
        y += 16;
        if (y > f.height - 10) break;
        svg += entry(line(lx, y + 4, lx + 12, y + 4, kPalette[index % 8], "3"), lx, y + 8,
                     "point " + std::to_string(index) + ": " + number(fraction * 100, 4) + " %");
    }
    return drawing(f, "error at each test point across the calibrations", svg);
}

}  // namespace kvtapp::html
