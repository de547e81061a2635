#include "uncertainty/uncertainty.h"

#include <fmt/format.h>

#include <cmath>

namespace kvtapp {
namespace {

// A module's accuracy over its full scale, in the result's pressure units.
std::optional<StatedAccuracy> moduleAccuracy(const kvtlab::Standard* module,
                                             const std::string& pressureUnits) {
    if (!module || module->accuracy.count("pressure") == 0) return std::nullopt;
    const double into = kvtlab::pascalsPer(pressureUnits);
    const double from = kvtlab::pascalsPer(module->units);
    if (into == 0 || from == 0) return std::nullopt;
    const double fullScale = std::max(std::fabs(module->rangeLow), std::fabs(module->rangeHigh));
    return StatedAccuracy{module->accuracy.at("pressure"), fullScale * from / into};
}

// The side's accuracy, or nothing with what is missing noted.
std::optional<StatedAccuracy> sideAccuracy(const std::string& function,
                                           const kvtlab::Standard* calibrator,
                                           const kvtlab::Standard* module,
                                           const std::string& pressureUnits, std::string& missing) {
    std::optional<StatedAccuracy> found;
    std::string lacking;
    if (function == "pressure") {
        found = moduleAccuracy(module, pressureUnits);
        lacking = module ? "the lab file gives no accuracy of the pressure module " + module->serial
                         : "the pressure module is not known";
    } else if (calibrator && calibrator->accuracy.count(function)) {
        found = StatedAccuracy{calibrator->accuracy.at(function)};
    } else {
        lacking = calibrator ? "the lab file gives no accuracy for " + function +
                                   " of the calibrator " + calibrator->serial
                             : "the lab file does not list the calibrator";
    }
    if (!found && missing.empty()) missing = lacking;
    return found;
}

}  // namespace

double accuracyHalfWidth(const kvtlab::Accuracy& accuracy, double value, double range) {
    return (accuracy.ofReading * std::fabs(value) + accuracy.ofRange * std::fabs(range)) / 100.0;
}

double expandedUncertainty(const std::vector<Contribution>& contributions) {
    double variance = 0;
    for (const Contribution& c : contributions) {
        const double standard = c.halfWidth * c.sensitivity / std::sqrt(3.0);
        variance += standard * standard;
    }
    return 2.0 * std::sqrt(variance);
}

double testUncertaintyRatio(double tolerance, double expanded) {
    if (!(tolerance > 0) || !(expanded > 0)) return std::nan("");
    return tolerance / expanded;
}

TestAccuracies testAccuracies(const Result& r, const kvtlab::Standard* calibrator,
                              const kvtlab::Standard* module) {
    TestAccuracies a;
    const std::string& units = r.setup.pressureUnits;
    a.reading = sideAccuracy(r.setup.input.function, calibrator, module, units, a.missing);
    a.sourceNeeded = r.setup.output.function != "none" && !r.setup.output.function.empty();
    if (a.sourceNeeded)
        a.source = sideAccuracy(r.setup.output.function, calibrator, module, units, a.missing);
    return a;
}

double pointUncertainty(const Result& r, const Point& p, const TestAccuracies& a) {
    if (!a.reading || (a.sourceNeeded && !a.source) || !(p.resolution > 0) ||
        std::isnan(p.reading)) {
        return std::nan("");
    }
    const auto rangeOf = [](const StatedAccuracy& s, double recorded) {
        return std::isnan(s.range) ? recorded : s.range;
    };
    std::vector<Contribution> doubts = {
        {accuracyHalfWidth(a.reading->accuracy, p.reading, rangeOf(*a.reading, p.readingLimit)), 1},
        {p.resolution / 2, 1}};
    if (a.sourceNeeded) {
        const double inSpan = double(r.setup.input.scale[1]) - r.setup.input.scale[0];
        const double outSpan = double(r.setup.output.scale[1]) - r.setup.output.scale[0];
        if (outSpan == 0 || std::isnan(p.source)) return std::nan("");
        doubts.push_back(
            {accuracyHalfWidth(a.source->accuracy, p.source, rangeOf(*a.source, p.sourceLimit)),
             std::fabs(inSpan / outSpan)});
    }
    return expandedUncertainty(doubts);
}

int uncertaintyDecimals(double u) {
    const int magnitude = static_cast<int>(std::floor(std::log10(u)));
    return 1 - magnitude;
}

std::string fixedDecimals(double value, int decimals) {
    if (decimals < 0) {
        const double unit = std::pow(10.0, -decimals);
        value = std::round(value / unit) * unit;
        decimals = 0;
    }
    std::string text = fmt::format("{:.{}f}", value, decimals);
    // No "-0.000": a value that rounds to zero has no sign.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

Quoted quoted(double value, double u) {
    if (!(u > 0) || std::isinf(u) || std::isnan(value)) return {};
    int decimals = uncertaintyDecimals(u);
    // Rounded up, so that the uncertainty quoted is never less than the one worked out; a
    // hair above a round number (floating point) is that number.
    const double unit = std::pow(10.0, -decimals);
    double rounded = std::ceil(u / unit * (1 - 1e-12)) * unit;
    if (rounded >= 100 * unit) {  // 99.x rounds up to 100: two digits are one place to the left
        decimals -= 1;
        rounded = std::ceil(u / (unit * 10) * (1 - 1e-12)) * unit * 10;
    }
    return {fixedDecimals(value, decimals), fixedDecimals(rounded, decimals)};
}

void judge(Result& r, const TestAccuracies& accuracies, kvtlab::DecisionRule rule) {
    const double span = std::fabs(double(r.setup.input.scale[1]) - r.setup.input.scale[0]);
    const double tolerance = r.setup.tolerance > 0 ? double(r.setup.tolerance) : 0;
    bool failed = false, passed = false, unjudged = false;
    for (Point& p : r.points) {
        p.uncertainty = pointUncertainty(r, p, accuracies);
        p.tur = testUncertaintyRatio(tolerance * span / 100, p.uncertainty);
        if (rule == kvtlab::DecisionRule::Guarded && !p.beyondRange && tolerance > 0 &&
            !std::isnan(p.error)) {
            const double guard = span > 0 ? p.uncertainty / span * 100 : std::nan("");
            p.verdict = std::isnan(guard)                         ? Verdict::None
                        : std::fabs(p.error) + guard <= tolerance ? Verdict::Pass
                                                                  : Verdict::Fail;
        }
        failed = failed || p.verdict == Verdict::Fail;
        passed = passed || p.verdict == Verdict::Pass;
        unjudged =
            unjudged || (p.verdict == Verdict::None && tolerance > 0 && !std::isnan(p.error));
    }
    if (r.points.empty()) return;
    r.verdict = failed ? Verdict::Fail : passed && !unjudged ? Verdict::Pass : Verdict::None;
}

bool lowTur(const Point& p, double minimum) {
    return !std::isnan(p.tur) && p.tur < minimum;
}

}  // namespace kvtapp
