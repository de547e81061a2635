#include "uncertainty/uncertainty.h"

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

}  // namespace kvtapp
