#include "records/calibration.h"

#include <cmath>

#include "base/escape.h"
#include "base/units.h"

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
            {"taken", r.taken},
            {"asLeft", r.flagged},
            {"verdict", verdictName(r.verdict)},
            {"largestError", numberJson(largestError(r))},
            {"tolerance", numberJson(toleranceOf(r))},
            {"errors", errors},
            {"decoded", toJson(r)}};
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

void judgeSides(Event& e) {
    e.asFound = e.asLeft = std::nullopt;
    e.asFoundError = e.asLeftError = kNone;
    for (const Result& r : e.results) {
        std::optional<Verdict>& side = r.flagged ? e.asLeft : e.asFound;
        side = combined(side, r.verdict);
        double& error = r.flagged ? e.asLeftError : e.asFoundError;
        error = larger(error, largestError(r));
    }
}

json numberJson(double value) {
    return std::isnan(value) || std::isinf(value) ? json(nullptr) : json(value);
}

json historyJson(const std::vector<Event>& events) {
    json list = json::array();
    for (const Event& e : events) {
        json results = json::array();
        for (const Result& r : e.results)
            results.push_back(historyResultJson(r));
        const Upload& u = e.upload;
        list.push_back({{"id", e.id},
                        {"date", e.date},
                        {"calibrator",
                         {{"model", u.calibrator.model},
                          {"firmware", u.calibrator.firmware},
                          {"serialNumber", u.calibrator.serialNumber}}},
                        {"upload",
                         {{"id", u.id},
                          {"uploaded", u.uploaded},
                          {"host", u.host},
                          {"user", u.user},
                          {"technician", u.technician},
                          {"source", u.source}}},
                        {"asFound", sideJson(e.asFound, e.asFoundError)},
                        {"asLeft", sideJson(e.asLeft, e.asLeftError)},
                        {"certificate", e.certificate ? json(e.certificate) : json(nullptr)},
                        {"conditions",
                         {{"ambientTemperature", numberJson(e.conditions.temperature)},
                          {"humidity", numberJson(e.conditions.humidity)},
                          {"remarks", e.conditions.remarks}}},
                        {"results", results}});
    }
    return list;
}

std::string historyCsv(const std::vector<Event>& events) {
    std::string csv = csvLine({"event", "date", "calibrator_model", "calibrator_serial",
                               "technician", "side", "result", "taken", "point", "fraction",
                               "direction", "nominal_source", "expected_reading", "reading",
                               "error_percent_of_span", "tolerance_percent", "verdict"});
    for (const Event& e : events) {
        for (const Result& r : e.results) {
            for (const Point& p : r.points) {
                csv += csvLine({std::to_string(e.id), e.date, e.upload.calibrator.model,
                                e.upload.calibrator.serialNumber, e.upload.technician, sideName(r),
                                std::to_string(r.id), r.taken, std::to_string(p.index),
                                number(p.fraction, 9), p.down ? "down" : "up",
                                csvNumber(p.nominalSource), csvNumber(p.expected),
                                csvNumber(p.reading), csvNumber(p.error), csvNumber(toleranceOf(r)),
                                verdictName(p.verdict)});
            }
        }
    }
    return csv;
}

json instrumentJson(const Instrument& i) {
    return {{"tag", i.tag},
            {"events", i.events},
            {"lastEvent",
             {{"id", i.lastEvent},
              {"date", i.lastDate},
              {"verdict", verdictName(i.lastVerdict)},
              {"calibratorSerial", i.calibratorSerial}}},
            {"intervalDays", i.intervalDays},
            {"intervalSet", i.intervalSet},
            {"intervalFrom", intervalSource(i)},
            {"due", i.due},
            {"daysLeft", i.daysLeft}};
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
