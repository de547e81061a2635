// Gathering what a certificate states: the standards the event's results rest on with what
// the lab file says of them, and each point's uncertainty.
#include <fmt/format.h>

#include <cmath>

#include "certificate/certificate.h"

namespace kvtapp {
namespace {

// The pressure module of the event: named by a result that recorded it, else by the option.
StandardUse moduleUse(const std::vector<Result>& results, const kvtlab::Lab& lab,
                      const std::string& option) {
    StandardUse use{"pressure module", "", "", nullptr, false};
    for (const Result& r : results) {
        const std::vector<std::string>& texts = r.setup.pressureModule;
        if (texts.size() != 2 || (texts[0].empty() && texts[1].empty())) continue;
        use.listed = lab.module(texts[0], texts[1]);
        use.serial = texts[1].empty() ? texts[0] : texts[1];
        use.model = texts[1].empty() ? "" : texts[0];
        return use;
    }
    use.serial = option;
    use.listed = option.empty() ? nullptr : lab.module(option, option);
    return use;
}

bool usesPressure(const Result& r) {
    return r.setup.input.function == "pressure" || r.setup.output.function == "pressure";
}

// The rows of a test as found beside the same test as left.
std::vector<PointRow> rowsOf(const Result* found, const Result* left) {
    std::vector<PointRow> rows;
    if (found) {
        for (const Point& p : found->points)
            rows.push_back({&p, nullptr});
    }
    if (!left) return rows;
    for (const Point& p : left->points) {
        PointRow* same = nullptr;
        for (PointRow& row : rows) {
            if (!same && row.found && !row.left && row.found->fraction == p.fraction &&
                row.found->down == p.down) {
                same = &row;
            }
        }
        if (same) {
            same->left = &p;
        } else {
            rows.push_back({nullptr, &p});
        }
    }
    return rows;
}

// Each point's uncertainty; false with the reason noted when one cannot be stated.
bool markUncertainties(ResultPair& pair, const kvtlab::Standard* calibrator,
                       const kvtlab::Standard* module, std::string& note) {
    bool all = true;
    for (const Result* r : {pair.found, pair.left}) {
        if (!r) continue;
        const TestAccuracies accuracies = testAccuracies(*r, calibrator, module);
        for (PointRow& row : pair.rows) {
            const Point* p = r == pair.found ? row.found : row.left;
            if (!p || std::isnan(p->reading)) continue;
            const double u = pointUncertainty(*r, *p, accuracies);
            (r == pair.found ? row.foundUncertainty : row.leftUncertainty) = u;
            if (!std::isnan(u)) continue;
            all = false;
            if (note.empty()) {
                note = accuracies.missing.empty()
                           ? "the display's resolution of the readings is not known"
                           : accuracies.missing;
            }
        }
    }
    return all;
}

}  // namespace

std::string certificateNumber(const kvtlab::Lab& lab, int64_t number) {
    return fmt::format("{}{:06}", lab.certificatePrefix, number);
}

CertificateData gatherCertificate(Event event, const kvtlab::Lab& lab,
                                  const std::string& moduleSerial) {
    CertificateData c;
    c.event = std::move(event);
    c.lab = &lab;
    c.technician = c.event.upload.technician;
    const std::vector<Result>& results = c.event.results;

    const std::string day = c.event.date.substr(0, 10);
    const Calibrator& k = c.event.upload.calibrator;
    c.standards.push_back({"calibrator", k.model, k.serialNumber, lab.calibrator(k.serialNumber)});
    bool pressure = false;
    for (const Result& r : results)
        pressure = pressure || usesPressure(r);
    if (pressure) c.standards.push_back(moduleUse(results, lab, moduleSerial));
    for (StandardUse& s : c.standards)
        s.overdue = s.listed && day > s.listed->due;

    std::vector<const Result*> found, left;
    for (const Result& r : results)
        (r.flagged ? left : found).push_back(&r);
    for (size_t i = 0; i < std::max(found.size(), left.size()); ++i) {
        ResultPair pair;
        pair.found = i < found.size() ? found[i] : nullptr;
        pair.left = i < left.size() ? left[i] : nullptr;
        pair.rows = rowsOf(pair.found, pair.left);
        c.pairs.push_back(std::move(pair));
    }
    const kvtlab::Standard* module = pressure ? c.standards.back().listed : nullptr;
    c.uncertainty = true;
    for (ResultPair& pair : c.pairs) {
        const bool all = markUncertainties(pair, c.standards[0].listed, module, c.uncertaintyNote);
        c.uncertainty = c.uncertainty && all;
    }
    return c;
}

std::vector<std::string> traceabilityProblems(const CertificateData& c) {
    std::vector<std::string> problems;
    const std::string day = c.event.date.substr(0, 10);
    for (const StandardUse& s : c.standards) {
        const std::string name = s.kind + (s.serial.empty() ? "" : " " + s.serial);
        if (s.serial.empty()) {
            problems.push_back("the " + s.kind +
                               " is not recorded with the results: name it with --module SERIAL");
        } else if (!s.listed) {
            problems.push_back("the lab file lists no " + name +
                               ": its calibration cannot be stated");
        } else if (s.overdue) {
            problems.push_back(
                fmt::format("the {} was past its calibration due date {} on the "
                            "day of the calibration, {}",
                            name, s.listed->due, day));
        }
    }
    return problems;
}

}  // namespace kvtapp
