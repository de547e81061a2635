#include "records/calibration.h"

#include <cmath>

#include "base/escape.h"
#include "base/time.h"
#include "base/units.h"
#include "records/visits.h"

namespace kvtapp {
namespace {

using json = nlohmann::ordered_json;

// "fail" over "pass" over "not judged".
Verdict combined(std::optional<Verdict> a, Verdict b) {
    if (!a) return b;
    if (*a == Verdict::Fail || b == Verdict::Fail) return Verdict::Fail;
    if (*a == Verdict::Pass || b == Verdict::Pass) return Verdict::Pass;
    return Verdict::None;
}

// The error of larger magnitude; the first on a tie.
double larger(double a, double b) {
    if (std::isnan(a)) return b;
    return std::isnan(b) || std::fabs(a) >= std::fabs(b) ? a : b;
}

json sideJson(const std::optional<Verdict>& verdict, double largest) {
    if (!verdict) return nullptr;
    return {{"verdict", verdictName(*verdict)}, {"largestError", numberJson(largest)}};
}

json historyResultJson(const Result& r) {
    json errors = json::array();
    for (const Point& p : r.points)
        errors.push_back(numberJson(p.error));
    return {{"id", r.id},
            {"label", r.label},
            {"taken", r.taken},
            {"stampProblem", r.stampProblem},
            {"upload", r.upload},
            {"asLeft", r.flagged},
            {"verdict", verdictName(r.verdict)},
            {"largestError", numberJson(largestError(r))},
            {"tolerance", numberJson(toleranceOf(r))},
            {"errors", errors},
            {"decoded", toJson(r)}};
}

json uploadJson(const Upload& u) {
    return {{"id", u.id},
            {"calibrator",
             {{"model", u.calibrator.model},
              {"firmware", u.calibrator.firmware},
              {"serialNumber", u.calibrator.serialNumber}}},
            {"uploaded", u.uploaded},
            {"host", u.host},
            {"user", u.user},
            {"technician", u.technician},
            {"source", u.source}};
}

// The uploads' technicians, each once.
std::string technicians(const Calibration& c) {
    std::string names;
    for (const Upload& u : c.uploads) {
        if (u.technician.empty() || names.find(u.technician) != std::string::npos) continue;
        names += (names.empty() ? "" : ", ") + u.technician;
    }
    return names;
}

std::string csvNumber(double v) {
    return std::isnan(v) ? "" : number(v, 9);
}

}  // namespace

json toJson(const Calibrator& c) {
    return {{"model", c.model},
            {"firmware", c.firmware},
            {"serialNumber", c.serialNumber},
            {"memoryCapacity", c.memoryCapacity},
            {"procedureItems", c.procedureItems},
            {"resultItems", c.resultItems}};
}

bool sameParts(const InstrumentIdentity& a, const InstrumentIdentity& b) {
    return a.make == b.make && a.model == b.model && a.serialNumber == b.serialNumber &&
           a.range == b.range && a.customer == b.customer;
}

json toJson(const InstrumentIdentity& i) {
    return {{"make", i.make},    {"model", i.model},       {"serialNumber", i.serialNumber},
            {"range", i.range},  {"customer", i.customer}, {"set", i.set},
            {"source", i.source}};
}

bool believed(const Calibration& c) {
    return !c.clockSuspect && !c.dateImpossible;
}

std::optional<int64_t> calibrationDay(const Calibration& c) {
    if (c.confirmed) return dayOfStamp(c.confirmed->date);
    if (!believed(c)) return std::nullopt;
    return dayOfStamp(c.date);
}

std::string dateNote(const Calibration& c) {
    std::string note = c.dateImpossible ? kDateImpossible : c.clockSuspect ? kClockSuspect : "";
    if (note.empty() || !c.confirmed) return note;
    return note + "; confirmed " + c.confirmed->date + " by " + c.confirmed->by;
}

void addToSide(Calibration& c, bool asLeft, Verdict verdict, double largest) {
    std::optional<Verdict>& side = asLeft ? c.asLeft : c.asFound;
    side = combined(side, verdict);
    double& error = asLeft ? c.asLeftError : c.asFoundError;
    error = larger(error, largest);
}

void judgeSides(Calibration& c) {
    c.asFound = c.asLeft = std::nullopt;
    c.asFoundError = c.asLeftError = kNone;
    for (const Result& r : c.results)
        addToSide(c, r.flagged, r.verdict, largestError(r));
}

void labelResults(Calibration& c) {
    size_t count[2] = {}, seen[2] = {};
    for (const Result& r : c.results)
        ++count[r.flagged];
    for (Result& r : c.results) {
        const size_t n = ++seen[r.flagged];
        r.label = (count[r.flagged] > 1 ? ordinal(n) + " " : "") + sideName(r);
    }
}

json numberJson(double value) {
    return std::isnan(value) || std::isinf(value) ? json(nullptr) : json(value);
}

json historyJson(const std::vector<Calibration>& calibrations) {
    json list = json::array();
    for (const Calibration& c : calibrations) {
        json results = json::array(), uploads = json::array();
        for (const Result& r : c.results)
            results.push_back(historyResultJson(r));
        for (const Upload& u : c.uploads)
            uploads.push_back(uploadJson(u));
        const std::optional<int64_t> day = calibrationDay(c);
        list.push_back({{"id", c.id},
                        {"instrument", c.instrument},
                        {"untagged", c.untagged},
                        {"date", c.date},
                        {"day", day ? json(dateOfDay(*day)) : json(nullptr)},
                        {"clockSuspect", c.clockSuspect},
                        {"dateImpossible", c.dateImpossible},
                        {"confirmed", c.confirmed ? json{{"date", c.confirmed->date},
                                                         {"by", c.confirmed->by},
                                                         {"at", c.confirmed->at}}
                                                  : json(nullptr)},
                        {"uploads", uploads},
                        {"asFound", sideJson(c.asFound, c.asFoundError)},
                        {"asLeft", sideJson(c.asLeft, c.asLeftError)},
                        {"certificate", c.certificate ? json(c.certificate) : json(nullptr)},
                        {"results", results}});
    }
    return list;
}

std::string historyCsv(const std::vector<Calibration>& calibrations) {
    std::string csv =
        csvLine({"calibration", "date", "date_note", "calibrator_model", "calibrator_serial",
                 "technician", "result", "label", "taken", "point", "fraction", "direction",
                 "nominal_source", "expected_reading", "reading", "error_percent_of_span",
                 "uncertainty_percent_of_span", "tolerance_percent", "verdict"});
    for (const Calibration& c : calibrations) {
        for (const Result& r : c.results) {
            const Calibrator* k = nullptr;
            for (const Upload& u : c.uploads) {
                if (u.id == r.upload) k = &u.calibrator;
            }
            const double span = std::fabs(double(r.setup.input.scale[1]) - r.setup.input.scale[0]);
            for (const Point& p : r.points) {
                csv += csvLine({std::to_string(c.id), c.date, dateNote(c), k ? k->model : "",
                                k ? k->serialNumber : "", technicians(c), std::to_string(r.id),
                                r.label, r.taken, std::to_string(p.index), number(p.fraction, 9),
                                p.down ? "down" : "up", csvNumber(p.nominalSource),
                                csvNumber(p.expected), csvNumber(p.reading), csvNumber(p.error),
                                csvNumber(span > 0 ? p.uncertainty / span * 100 : kNone),
                                csvNumber(toleranceOf(r)), verdictName(p.verdict)});
            }
        }
    }
    return csv;
}

json instrumentJson(const Instrument& i) {
    return {{"tag", i.tag},
            {"untagged", i.untagged},
            {"identity", toJson(i.identity)},
            {"calibrations", i.calibrations},
            {"lastCalibration", i.lastCalibration ? json{{"id", i.lastCalibration},
                                                         {"date", i.lastDate},
                                                         {"day", i.lastDay},
                                                         {"verdict", verdictName(i.lastVerdict)},
                                                         {"calibratorSerial", i.calibratorSerial}}
                                                  : json(nullptr)},
            {"undated", i.undated},
            {"intervalDays", i.intervalDays},
            {"intervalSet", i.intervalSet},
            {"intervalFrom", intervalSource(i)},
            {"due", i.due.empty() ? json(nullptr) : json(i.due)},
            {"daysLeft", i.due.empty() ? json(nullptr) : json(i.daysLeft)}};
}

const char* intervalSource(const Instrument& i) {
    return i.intervalSet ? "archive" : i.intervalFromLab ? "lab file" : "default";
}

json undecodableJson(const Undecodable& u) {
    return {{"result", u.id},
            {"calibratorSerial", u.calibratorSerial},
            {"taken", u.taken},
            {"tag", u.tag},
            {"resultCode", u.resultCode},
            {"problem", u.problem}};
}

}  // namespace kvtapp
