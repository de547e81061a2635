// Results as text tables, JSON and CSV.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "json_file.h"
#include "result.h"
#include "table.h"
#include "units.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

json computedJson(double v) {
    return std::isnan(v) ? json(nullptr) : json(v);
}

const char* direction(const PointView& p) {
    return p.down ? "down" : "up";
}

json pointJson(const PointView& p) {
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
            {"verdict", verdictName(p.verdict)}};
}

std::string taskName(const ResultView& r) {
    return r.taskIndex < 0 ? "none" : "\"" + visibleText(r.task) + "\"";
}

}  // namespace

const char* sideName(const ResultView& r) {
    return r.flagged ? "as left" : "as found";
}

PointText pointText(const ResultView& r, const PointView& p) {
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

void printResults(std::ostream& out, const std::vector<ResultView>& results) {
    for (const ResultView& r : results) {
        const std::string name = r.text1.empty() ? r.tag : r.text1;
        out << fmt::format("\n{}{}, {}, taken {}: {}\n", visibleText(name),
                           r.text2.empty() ? "" : " " + visibleText(r.text2), sideName(r),
                           visibleText(r.taken), verdictName(r.verdict));
        if (!r.problem.empty()) {
            out << "  tag " << visibleText(r.tag) << ", does not decode: " << visibleText(r.problem)
                << '\n';
            if (r.points.empty()) continue;
        }
        out << fmt::format("  tag {}, task {}, strategy \"{}\", {}{}\n", visibleText(r.tag),
                           taskName(r), visibleText(r.strategy), plural(r.points.size(), "point"),
                           r.flagged ? ", readings after adjustment" : "");
        out << "  measures  " << describeInput(r.setup) << "\n  sources   "
            << describeOutput(r.setup) << "\n  " << describeRest(r.setup) << '\n';
        const std::string in = scaleUnit(r.setup.input).symbol;
        const std::string src = scaleUnit(r.setup.output).symbol;
        Table table({"point", "% span", "way", "nominal " + src, "source " + src, "expected " + in,
                     "reading " + in, "error " + in, "error %", "recorded %", "verdict"},
                    "rrlrrrrrrrl");
        for (const PointView& p : r.points) {
            const PointText t = pointText(r, p);
            table.add(
                {std::to_string(p.index), number(p.fraction * 100.0), direction(p), t.nominal,
                 t.source, t.expected, t.reading, t.error, t.errorPercent, t.recorded,
                 verdictName(p.verdict) + std::string(p.beyondRange ? ": beyond range" : "")});
        }
        table.print(out);
    }
}

json toJson(const std::vector<ResultView>& results) {
    json list = json::array();
    for (const ResultView& r : results) {
        json points = json::array();
        for (const PointView& p : r.points)
            points.push_back(pointJson(p));
        json result = {{"index", r.index},
                       {"taken", r.taken},
                       {"tags", {r.tag, r.text1, r.text2}},
                       {"task", r.taskIndex < 0 ? json(nullptr)
                                                : json{{"index", r.taskIndex}, {"name", r.task}}},
                       {"strategy", {{"index", r.strategyIndex}, {"name", r.strategy}}},
                       {"flagged", r.flagged},
                       {"setup", toJson(r.setup)},
                       {"points", points},
                       {"verdict", verdictName(r.verdict)}};
        if (!r.problem.empty()) result["problem"] = r.problem;
        list.push_back(result);
    }
    return list;
}

ResultView resultFromJson(const json& v) {
    const auto verdictOf = [](const std::string& name) {
        return name == "pass" ? Verdict::Pass : name == "fail" ? Verdict::Fail : Verdict::None;
    };
    ResultView r;
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
    r.strategy = textAt(memberAt(v, "strategy"), "name");
    r.flagged = flagAt(v, "flagged");
    r.setup = setupFromJson(memberAt(v, "setup"));
    for (const json& p : memberAt(v, "points")) {
        PointView point;
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
        point.verdict = verdictOf(textAt(p, "verdict"));
        r.points.push_back(point);
    }
    r.problem = textAt(v, "problem");
    r.verdict = verdictOf(textAt(v, "verdict"));
    return r;
}

std::string resultsCsv(const std::vector<ResultView>& results) {
    std::string csv =
        "result,taken,tag,text1,text2,task,strategy,flagged,point,fraction,direction,"
        "source_unit,nominal_source,source,source_range_high,reading_unit,expected_reading,"
        "reading,reading_range_high,error_percent_of_span,recorded_error_percent,"
        "tolerance_percent,verdict,problem\n";
    const auto line = [&csv](const std::vector<std::string>& row) {
        std::string text;
        for (const std::string& field : row)
            text += (text.empty() ? "" : ",") + csvField(field);
        csv += text + "\n";
    };
    for (const ResultView& r : results) {
        const std::vector<std::string> result = {
            std::to_string(r.index), r.taken, r.tag, r.text1, r.text2, r.task, r.strategy,
            r.flagged ? "1" : "0"};
        // A result that does not decode still has its row, so that its tags are not lost.
        if (r.points.empty()) {
            std::vector<std::string> row = result;
            row.resize(22);
            row.insert(row.end(), {verdictName(r.verdict), r.problem});
            line(row);
        }
        for (const PointView& p : r.points) {
            std::vector<std::string> row = result;
            row.insert(row.end(),
                       {std::to_string(p.index), shortest(p.fraction), direction(p),
                        r.setup.output.unit, number(p.nominalSource, 9), shortest(p.source),
                        shortest(p.sourceLimit), r.setup.input.unit, number(p.expected, 9),
                        shortest(p.reading), shortest(p.readingLimit), number(p.error, 6),
                        shortest(p.recordedError), shortest(r.setup.tolerance),
                        verdictName(p.verdict), p.beyondRange ? "beyond range" : r.problem});
            line(row);
        }
    }
    return csv;
}

}  // namespace kvtcli
