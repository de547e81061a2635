// The views of a result: JSON, CSV and the texts of its points.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/escape.h"
#include "base/json.h"
#include "base/units.h"
#include "records/result.h"

namespace kvtapp {
namespace {

using json = nlohmann::ordered_json;

json computedJson(double v) {
    return std::isnan(v) ? json(nullptr) : json(v);
}

const char* direction(const Point& p) {
    return p.down ? "down" : "up";
}

json pointJson(const Point& p) {
    return {{"index", p.index},
            {"fraction", floatJson(p.fraction)},
            {"direction", direction(p)},
            {"source", floatJson(p.source)},
            {"sourceLimit", floatJson(p.sourceLimit)},
            {"reading", floatJson(p.reading)},
            {"readingLimit", floatJson(p.readingLimit)},
            {"recordedError", floatJson(p.recordedError)},
            {"nominalSource", p.nominalSource},
            {"expected", p.expected},
            {"error", computedJson(p.error)},
            {"beyondRange", p.beyondRange},
            {"resolution", computedJson(p.resolution)},
            {"uncertainty", computedJson(p.uncertainty)},
            {"tur", computedJson(p.tur)},
            {"verdict", verdictName(p.verdict)}};
}

}  // namespace

const char* verdictName(Verdict v) {
    return v == Verdict::Pass ? "pass" : v == Verdict::Fail ? "fail" : "not judged";
}

Verdict verdictNamed(const std::string& name) {
    return name == "pass" ? Verdict::Pass : name == "fail" ? Verdict::Fail : Verdict::None;
}

Verdict overallVerdict(const std::vector<Result>& results) {
    bool allPass = !results.empty();
    for (const Result& r : results) {
        if (r.verdict == Verdict::Fail) return Verdict::Fail;
        allPass = allPass && r.verdict == Verdict::Pass;
    }
    return allPass ? Verdict::Pass : Verdict::None;
}

const char* sideName(const Result& r) {
    return r.flagged ? "as left" : "as found";
}

const std::string& instrumentName(const Result& r) {
    return r.text1.empty() ? r.tag : r.text1;
}

double toleranceOf(const Result& r) {
    return r.setup.tolerance > 0 ? r.setup.tolerance : std::nan("");
}

double largestError(const Result& r) {
    double largest = std::nan("");
    for (const Point& p : r.points) {
        if (!std::isnan(p.error) && !(std::fabs(p.error) <= std::fabs(largest))) largest = p.error;
    }
    return largest;
}

PointText pointText(const Result& r, const Point& p) {
    const DisplayUnit in = scaleUnit(r.setup.input);
    const DisplayUnit out = scaleUnit(r.setup.output);
    return {number(p.nominalSource / out.factor),
            number(p.source / out.factor),
            stepped(p.expected, p.resolution, in.factor),
            stepped(p.reading, p.resolution, in.factor),
            stepped(p.reading - p.expected, p.resolution, in.factor),
            number(p.error, 3),
            number(p.recordedError, 3)};
}

json toJson(const Result& r) {
    json points = json::array();
    for (const Point& p : r.points)
        points.push_back(pointJson(p));
    json result = {
        {"index", r.index},
        {"taken", r.taken},
        {"tags", {r.tag, r.text1, r.text2}},
        {"task", r.taskIndex < 0 ? json(nullptr) : json{{"index", r.taskIndex}, {"name", r.task}}},
        {"strategy", {{"index", r.strategyIndex}, {"name", r.strategy}}},
        {"flagged", r.flagged},
        {"setup", toJson(r.setup)},
        {"points", points},
        {"verdict", verdictName(r.verdict)}};
    if (!r.problem.empty()) result["problem"] = r.problem;
    return result;
}

json toJson(const std::vector<Result>& results) {
    json list = json::array();
    for (const Result& r : results)
        list.push_back(toJson(r));
    return list;
}

Result resultFromJson(const json& v) {
    Result r;
    r.index = static_cast<int32_t>(std::clamp<int64_t>(wholeAt(v, "index", 0), 0, INT32_MAX));
    r.taken = textAt(v, "taken");
    const json& tags = memberAt(v, "tags");
    std::string* texts[] = {&r.tag, &r.text1, &r.text2};
    for (size_t i = 0; i < 3 && tags.is_array() && i < tags.size(); ++i) {
        if (tags[i].is_string()) *texts[i] = tags[i].get<std::string>();
    }
    const json& task = memberAt(v, "task");
    if (task.is_object()) {
        r.taskIndex = wholeAt(task, "index", -1);
        r.task = textAt(task, "name");
    }
    const json& strategy = memberAt(v, "strategy");
    r.strategyIndex =
        static_cast<int32_t>(std::clamp<int64_t>(wholeAt(strategy, "index", 0), 0, INT32_MAX));
    r.strategy = textAt(strategy, "name");
    r.flagged = flagAt(v, "flagged");
    r.setup = setupFromJson(memberAt(v, "setup"));
    for (const json& p : memberAt(v, "points")) {
        Point point;
        point.index = static_cast<int32_t>(r.points.size());
        point.fraction = floatAt(p, "fraction");
        point.down = textAt(p, "direction") == "down";
        point.source = floatAt(p, "source");
        point.sourceLimit = floatAt(p, "sourceLimit");
        point.reading = floatAt(p, "reading");
        point.readingLimit = floatAt(p, "readingLimit");
        point.recordedError = floatAt(p, "recordedError");
        point.nominalSource = numberAt(p, "nominalSource");
        point.expected = numberAt(p, "expected");
        point.error = numberAt(p, "error");
        point.resolution = numberAt(p, "resolution");
        // Results kept before the step was written down: an electrical range's step follows
        // from the range.
        if (std::isnan(point.resolution) &&
            unitFamily(r.setup.input.function) == UnitFamily::Electrical) {
            point.resolution = inputRangeStep(r.setup.input.function, point.readingLimit);
        }
        point.beyondRange = flagAt(p, "beyondRange");
        point.uncertainty = numberAt(p, "uncertainty");
        point.tur = numberAt(p, "tur");
        point.verdict = verdictNamed(textAt(p, "verdict"));
        r.points.push_back(point);
    }
    r.problem = textAt(v, "problem");
    r.verdict = verdictNamed(textAt(v, "verdict"));
    return r;
}

std::string resultsCsv(const std::vector<Result>& results) {
    std::string csv =
        "result,taken,tag,text1,text2,task,strategy,flagged,point,fraction,direction,"
        "source_unit,nominal_source,source,source_range_high,reading_unit,expected_reading,"
        "reading,reading_range_high,error_percent_of_span,recorded_error_percent,"
        "tolerance_percent,verdict,problem,uncertainty,tur\n";
    for (const Result& r : results) {
        const std::vector<std::string> result = {
            std::to_string(r.index), r.taken, r.tag, r.text1, r.text2, r.task, r.strategy,
            r.flagged ? "1" : "0"};
        // A result that does not decode still has its row, so that its tags are not lost.
        if (r.points.empty()) {
            std::vector<std::string> row = result;
            row.resize(22);
            row.insert(row.end(), {verdictName(r.verdict), r.problem, "", ""});
            csv += csvLine(row);
        }
        for (const Point& p : r.points) {
            std::vector<std::string> row = result;
            row.insert(row.end(),
                       {std::to_string(p.index), shortest(p.fraction), direction(p),
                        r.setup.output.unit, number(p.nominalSource, 9), shortest(p.source),
                        shortest(p.sourceLimit), r.setup.input.unit, number(p.expected, 9),
                        shortest(p.reading), shortest(p.readingLimit), number(p.error, 6),
                        shortest(p.recordedError), shortest(r.setup.tolerance),
                        verdictName(p.verdict), p.beyondRange ? "beyond range" : r.problem,
                        number(p.uncertainty, 6), number(p.tur, 3)});
            csv += csvLine(row);
        }
    }
    return csv;
}

}  // namespace kvtapp
