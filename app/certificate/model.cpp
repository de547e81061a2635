// Gathering what a certificate states: the calibration's results judged by the lab's decision
// rule with the standards in force on its day, each value quoted to its uncertainty, and the
// statements a calibration certificate makes.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/time.h"
#include "base/units.h"
#include "certificate/certificate.h"
#include "records/visits.h"

namespace kvtapp {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(LabPart, name, address, accreditation)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CustomerPart, name, address)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ItemPart, tag, untagged, make, model, serialNumber,
                                                range, tagTexts, test)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(MethodPart, procedure, reference)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(StandardPart, kind, model, serial, certificate,
                                                calibrated, due, calibratedBy, status,
                                                inCalibration)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SideCells, present, reading, error, errorPercent,
                                                uncertainty, tur, verdict, lowTur)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(PointRowPart, point, nominal, expected, found, left)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(TablePart, caption, foundLabel, leftLabel, inUnit,
                                                outUnit, rows)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SummaryPart, label, largest, hysteresis, verdict)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CertificateContent, format, number, numberValue,
                                                replaces, reason, issued, calibrated, dateNote,
                                                calibration, lab, customer, item, method, standards,
                                                traceable, traceability, temperature, humidity,
                                                remarks, decisionRule, decisionStatement,
                                                minimumTur, uncertaintyStated, uncertaintyStatement,
                                                tables, summary, asFound, asLeft, adjustment,
                                                undecoded, technician, authorisedBy, paper, results)

nlohmann::json toJson(const CertificateContent& content) {
    return content;
}

std::string contentText(const CertificateContent& content) {
    return toJson(content).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

CertificateContent certificateContentFromJson(const nlohmann::json& value) {
    return value.is_object() ? value.get<CertificateContent>() : CertificateContent{};
}

namespace {

// The certificate of the standard in force on the day, of those known; nothing when none was.
std::optional<kvtlab::Standard> inForce(const StandardCertificates& known,
                                        const std::string& serial, const std::string& day) {
    if (serial.empty() || !known) return std::nullopt;
    const std::vector<kvtlab::Standard> all = known(serial);
    std::vector<const kvtlab::Standard*> list;
    for (const kvtlab::Standard& s : all)
        list.push_back(&s);
    const kvtlab::Standard* found = kvtlab::certificateOn(list, day);
    if (!found) return std::nullopt;
    return *found;
}

// The serial number of the pressure module a result names; empty when it names none.
std::string namedModule(const Result& r) {
    const std::vector<std::string>& texts = r.setup.pressureModule;
    if (texts.size() != 2) return "";
    return texts[1].empty() ? texts[0] : texts[1];
}

bool usesPressure(const Result& r) {
    return r.setup.input.function == "pressure" || r.setup.output.function == "pressure";
}

const Upload* uploadOf(const Calibration& c, const Result& r) {
    for (const Upload& u : c.uploads) {
        if (u.id == r.upload) return &u;
    }
    return c.uploads.empty() ? nullptr : &c.uploads.back();
}

// The day whose standards count: the calibration's, else the day its last stamp names.
std::string standardsDay(const Calibration& c) {
    const std::optional<int64_t> day = calibrationDay(c);
    return day ? dateOfDay(*day) : c.date.substr(0, 10);
}

std::string moduleOf(const Calibration& c, const Result& r, const std::string& option) {
    if (!usesPressure(r)) return "";
    const std::string named = namedModule(r);
    if (!named.empty()) return named;
    for (const Result& other : c.results) {
        if (!namedModule(other).empty()) return namedModule(other);
    }
    return option;
}

StandardPart standing(const char* kind, const std::string& model, const std::string& serial,
                      const StandardCertificates& known, const std::string& day) {
    StandardPart part{kind, model, serial, "", "", "", "", "", false};
    if (serial.empty()) {
        part.status = "not recorded";
        return part;
    }
    const std::vector<kvtlab::Standard> all =
        known ? known(serial) : std::vector<kvtlab::Standard>{};
    const std::optional<kvtlab::Standard> s = inForce(known, serial, day);
    if (!s) {
        part.status =
            all.empty() ? "not listed in the lab file" : "no certificate of it in force on the day";
        return part;
    }
    if (part.model.empty()) part.model = s->model;
    part.certificate = s->certificate;
    part.calibrated = s->calibrated;
    part.due = s->due;
    part.calibratedBy = s->calibratedBy;
    part.inCalibration = day <= s->due;
    part.status = part.inCalibration ? "within its calibration" : "past its due date";
    return part;
}

std::vector<StandardPart> standardsOf(const Calibration& c, const StandardCertificates& known,
                                      const std::string& moduleSerial, const std::string& day) {
    std::vector<StandardPart> list;
    const auto add = [&](const char* kind, const std::string& model, const std::string& serial) {
        for (const StandardPart& s : list) {
            if (s.kind == kind && s.serial == serial) return;
        }
        list.push_back(standing(kind, model, serial, known, day));
    };
    for (const Upload& u : c.uploads)
        add("calibrator", u.calibrator.model, u.calibrator.serialNumber);
    for (const Result& r : c.results) {
        if (usesPressure(r)) add("pressure module", "", moduleOf(c, r, moduleSerial));
    }
    return list;
}

std::string traceabilityOf(const std::vector<StandardPart>& standards, bool& traceable) {
    std::string through, problems;
    traceable = !standards.empty();
    for (const StandardPart& s : standards) {
        const std::string name = s.kind + (s.model.empty() ? "" : " " + s.model) +
                                 (s.serial.empty() ? "" : " " + s.serial);
        if (s.inCalibration) {
            through += (through.empty() ? "" : "; ") + name + ", certificate " + s.certificate +
                       (s.calibratedBy.empty() ? "" : " of " + s.calibratedBy);
            continue;
        }
        traceable = false;
        problems += (problems.empty() ? "" : "; ") + name + ": " + s.status;
    }
    if (traceable) {
        return "The results are traceable to national standards through the reference "
               "standards listed: " +
               through + ".";
    }
    return "Traceability is not established: " + (problems.empty() ? "no standard" : problems) +
           ".";
}

// The rows of a test as found beside the same test as left: the as-left points take the rows
// of the as-found points with the same place and way.
std::vector<std::pair<const Point*, const Point*>> rowsOf(const Result* found, const Result* left) {
    std::vector<std::pair<const Point*, const Point*>> rows;
    if (found) {
        for (const Point& p : found->points)
            rows.push_back({&p, nullptr});
    }
    if (!left) return rows;
    for (const Point& p : left->points) {
        auto same = std::find_if(rows.begin(), rows.end(), [&](const auto& row) {
            return row.first && !row.second && row.first->fraction == p.fraction &&
                   row.first->down == p.down;
        });
        if (same != rows.end()) {
            same->second = &p;
        } else {
            rows.push_back({nullptr, &p});
        }
    }
    return rows;
}

SideCells cellsOf(const Result* r, const Point* p, double minimumTur) {
    SideCells s;
    if (!r || !p) return s;
    s.present = true;
    const DisplayUnit in = scaleUnit(r->setup.input);
    const double span = std::fabs(double(r->setup.input.scale[1]) - r->setup.input.scale[0]);
    const PointText t = pointText(*r, *p);
    const double u = p->uncertainty;
    if (u > 0 && !std::isnan(p->reading)) {
        const Quoted error = quoted((p->reading - p->expected) / in.factor, u / in.factor);
        s.reading = quoted(p->reading / in.factor, u / in.factor).value;
        s.error = error.value;
        s.uncertainty = error.uncertainty;
        s.errorPercent = span > 0 ? quoted(p->error, u / span * 100).value : "";
    } else if (!std::isnan(p->reading)) {
        const bool stepped = p->resolution > 0;
        s.reading = stepped ? t.reading : plainNumber(p->reading / in.factor);
        s.error = stepped ? t.error : plainNumber((p->reading - p->expected) / in.factor);
        s.errorPercent = plainNumber(p->error, 3);
    }
    s.tur = std::isnan(p->tur) ? "" : fmt::format("{:.1f}", p->tur);
    s.lowTur = lowTur(*p, minimumTur);
    s.verdict = verdictName(p->verdict);
    return s;
}

std::string toleranceText(const Result& r) {
    const Setup& s = r.setup;
    if (!(s.tolerance > 0)) return "no tolerance: points are not judged";
    const DisplayUnit in = scaleUnit(s.input);
    const double span = std::fabs(double(s.input.scale[1]) - s.input.scale[0]);
    return fmt::format("tolerance ±{} % of span (±{} {})", plainNumber(s.tolerance),
                       plainNumber(s.tolerance * span / 100 / in.factor, 3), in.symbol);
}

TablePart tableOf(const std::string& instrument, const Result* found, const Result* left,
                  double minimumTur) {
    const Result& any = found ? *found : *left;
    TablePart t;
    t.caption = instrument + ": " + toleranceText(any);
    t.foundLabel = found ? found->label : "";
    t.leftLabel = left ? left->label : "";
    t.inUnit = scaleUnit(any.setup.input).symbol;
    t.outUnit = scaleUnit(any.setup.output).symbol;
    const DisplayUnit out = scaleUnit(any.setup.output);
    for (const auto& [f, l] : rowsOf(found, left)) {
        const Point& p = f ? *f : *l;
        const Result& r = f ? *found : *left;
        PointRowPart row;
        row.point = plainNumber(p.fraction * 100.0) + (p.down ? " ↓" : " ↑");
        row.nominal = plainNumber(p.nominalSource / out.factor);
        row.expected = p.resolution > 0 ? pointText(r, p).expected
                                        : plainNumber(p.expected / scaleUnit(r.setup.input).factor);
        row.found = cellsOf(found, f, minimumTur);
        row.left = cellsOf(left, l, minimumTur);
        t.rows.push_back(std::move(row));
    }
    return t;
}

SummaryPart summaryOf(const Result& r) {
    const Point* largest = nullptr;
    double hysteresis = std::nan("");
    for (const Point& p : r.points) {
        if (std::isnan(p.error)) continue;
        if (!largest || std::fabs(p.error) > std::fabs(largest->error)) largest = &p;
        for (const Point& q : r.points) {
            if (q.down && !p.down && q.fraction == p.fraction && !std::isnan(q.error)) {
                const double h = std::fabs(p.error - q.error);
                if (std::isnan(hysteresis) || h > hysteresis) hysteresis = h;
            }
        }
    }
    const DisplayUnit in = scaleUnit(r.setup.input);
    const double span = std::fabs(double(r.setup.input.scale[1]) - r.setup.input.scale[0]);
    SummaryPart s{r.label, "none", "no way down", verdictName(r.verdict)};
    if (largest) {
        s.largest = fmt::format("{} % of span ({} {}) at {} %", plainNumber(largest->error, 3),
                                plainNumber(largest->error * span / 100 / in.factor, 3), in.symbol,
                                plainNumber(largest->fraction * 100.0));
    }
    if (!std::isnan(hysteresis)) {
        s.hysteresis = fmt::format("{} % of span ({} {})", plainNumber(hysteresis, 3),
                                   plainNumber(hysteresis * span / 100 / in.factor, 3), in.symbol);
    }
    return s;
}

std::string joinedOnce(const std::vector<std::string>& items) {
    std::string text;
    std::vector<std::string> seen;
    for (const std::string& item : items) {
        if (item.empty() || std::find(seen.begin(), seen.end(), item) != seen.end()) continue;
        seen.push_back(item);
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

const char* const kSimpleStatement =
    "Simple acceptance: a point passes when its error is within the tolerance; the "
    "uncertainty of the error is stated but not taken into account in the verdict.";
const char* const kGuardedStatement =
    "Guarded acceptance with a guard band equal to the expanded uncertainty (w = U, "
    "ILAC-G8:09/2019): a point passes only when its error lies within the tolerance less U; "
    "a point whose uncertainty is not known is not judged.";

}  // namespace

std::string standardsDayOf(const Calibration& c) {
    return standardsDay(c);
}

std::vector<StandardPart> standardsOfCalibration(const Calibration& c,
                                                 const StandardCertificates& known,
                                                 const std::string& moduleSerial) {
    return standardsOf(c, known, moduleSerial, standardsDay(c));
}

void judgeCalibration(Calibration& c, const kvtlab::Lab& lab, const StandardCertificates& known,
                      const std::string& moduleSerial) {
    const std::string day = standardsDay(c);
    for (Result& r : c.results) {
        const Upload* u = uploadOf(c, r);
        const std::optional<kvtlab::Standard> calibrator =
            inForce(known, u ? u->calibrator.serialNumber : "", day);
        const std::optional<kvtlab::Standard> module =
            inForce(known, moduleOf(c, r, moduleSerial), day);
        judge(r,
              testAccuracies(r, calibrator ? &*calibrator : nullptr, module ? &*module : nullptr),
              lab.rule);
    }
    judgeSides(c);
}

std::string certificateNumber(const kvtlab::Lab& lab, int64_t number) {
    return fmt::format("{}{:06}", lab.certificatePrefix, number);
}

CertificateContent gatherCertificate(Calibration c, const kvtlab::Lab& lab,
                                     const InstrumentIdentity& identity,
                                     const StandardCertificates& known,
                                     const CertificateRequest& request) {
    judgeCalibration(c, lab, known, request.moduleSerial);
    CertificateContent k;
    k.number = request.number;
    k.numberValue = request.numberValue;
    k.replaces = request.replaces;
    k.reason = request.reason;
    k.issued = request.issued;
    k.calibrated = standardsDay(c);
    k.dateNote = dateNote(c);
    k.calibration = c.id;
    k.lab = {lab.name, lab.address, lab.accreditation};

    k.customer.name = identity.customer;
    if (k.customer.name.empty()) {
        const kvtlab::Customer* byTag = lab.customerOf(c.instrument);
        if (byTag) k.customer.name = byTag->name;
    }
    if (const kvtlab::Customer* listed = lab.customer(k.customer.name))
        k.customer.address = listed->address;

    const Result& first = c.results.front();
    k.item = {c.instrument,
              c.untagged,
              identity.make,
              identity.model,
              identity.serialNumber,
              identity.range,
              "\"" + first.tag + "\", \"" + first.text1 + "\", \"" + first.text2 + "\"",
              "measures " + describeInput(first.setup) + "; sources " +
                  describeOutput(first.setup) + "; " + describeRest(first.setup)};
    std::vector<std::string> tasks;
    for (const Result& r : c.results)
        tasks.push_back(r.taskIndex < 0 ? "" : r.task);
    k.method.procedure = joinedOnce(tasks);
    if (k.method.procedure.empty()) k.method.procedure = "none recorded";
    k.method.reference = lab.methodFor(first.taskIndex < 0 ? "" : first.task).value_or("");

    k.standards = standardsOf(c, known, request.moduleSerial, k.calibrated);
    k.traceability = traceabilityOf(k.standards, k.traceable);

    const Conditions& given = request.conditions;
    if (!std::isnan(given.temperature)) k.temperature = plainNumber(given.temperature, 4) + " °C";
    if (!std::isnan(given.humidity)) k.humidity = plainNumber(given.humidity, 3) + " %";
    k.remarks = given.remarks;

    k.decisionRule = kvtlab::ruleName(lab.rule);
    k.decisionStatement =
        lab.rule == kvtlab::DecisionRule::Guarded ? kGuardedStatement : kSimpleStatement;
    k.minimumTur = plainNumber(lab.minimumTur);
    k.uncertaintyStated = true;
    std::string missing;
    for (const Result& r : c.results) {
        const Upload* u = uploadOf(c, r);
        const std::optional<kvtlab::Standard> calibrator =
            inForce(known, u ? u->calibrator.serialNumber : "", k.calibrated);
        const std::optional<kvtlab::Standard> module =
            inForce(known, moduleOf(c, r, request.moduleSerial), k.calibrated);
        const TestAccuracies a =
            testAccuracies(r, calibrator ? &*calibrator : nullptr, module ? &*module : nullptr);
        for (const Point& p : r.points) {
            if (std::isnan(p.reading) || p.uncertainty > 0) continue;
            k.uncertaintyStated = false;
            if (missing.empty()) {
                missing = !a.missing.empty()
                              ? a.missing
                              : "the display's resolution of the readings is not known";
            }
        }
    }
    k.uncertaintyStatement =
        k.uncertaintyStated
            ? "U is the expanded uncertainty of the error with a coverage factor k = 2, which "
              "gives a coverage probability of about 95 % for a normal distribution: the "
              "calibrator's stated accuracy for the reading and for the value sourced (a "
              "pressure module's for a pressure), each taken as a rectangular distribution, "
              "combined with half the display's resolution of the reading. Values are rounded "
              "to the place of the second significant digit of U, which is rounded up. TUR is "
              "the test uncertainty ratio, the tolerance over U; points marked † have a TUR "
              "below the lab's minimum of " +
                  k.minimumTur + "."
            : "No uncertainty is stated: " + missing + ".";

    std::vector<const Result*> found, left;
    for (const Result& r : c.results) {
        if (!r.points.empty()) (r.flagged ? left : found).push_back(&r);
    }
    for (size_t i = 0; i < std::max(found.size(), left.size()); ++i) {
        k.tables.push_back(tableOf(c.instrument, i < found.size() ? found[i] : nullptr,
                                   i < left.size() ? left[i] : nullptr, lab.minimumTur));
    }
    for (const Result& r : c.results) {
        if (!r.points.empty()) k.summary.push_back(summaryOf(r));
        if (!r.problem.empty()) k.undecoded.push_back(r.problem);
    }
    k.asFound = c.asFound ? verdictName(*c.asFound) : "none";
    k.asLeft = c.asLeft ? verdictName(*c.asLeft) : "";
    k.adjustment = c.asLeft ? "adjusted" : "not adjusted";
    std::vector<std::string> technicians;
    for (const Upload& u : c.uploads)
        technicians.push_back(u.technician);
    k.technician = joinedOnce(technicians);
    if (k.technician.empty()) k.technician = request.technician;
    k.authorisedBy = lab.authorisedBy;
    k.paper = request.paper == "letter" ? "letter" : "A4";
    k.results = nlohmann::json::parse(
        toJson(c.results).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    return k;
}

std::vector<std::string> missingItems(const CertificateContent& k) {
    std::vector<std::string> missing;
    const auto need = [&](bool has, const std::string& what) {
        if (!has) missing.push_back(what);
    };
    need(!k.lab.address.empty(), "the lab's address ([lab] address)");
    need(!k.customer.name.empty(),
         "the customer (archive instrument --customer, or [[instruments]] or [[customers]] in "
         "the lab file)");
    need(!k.item.make.empty() || !k.item.model.empty() || !k.item.serialNumber.empty(),
         "the item's make, model and serial number (archive instrument, or [[instruments]])");
    need(!k.method.reference.empty(), "the lab's reference for the method ([methods])");
    need(!k.temperature.empty(), "the ambient temperature (--ambient)");
    need(!k.humidity.empty(), "the relative humidity (--humidity)");
    need(k.uncertaintyStated, "the uncertainty of every point (accuracies in [[standards]])");
    need(k.traceable, "traceability: every reference standard within its calibration");
    need(!k.authorisedBy.empty(), "who authorises the certificate ([lab] authorised_by)");
    return missing;
}

}  // namespace kvtapp
