// Results as text tables, JSON and CSV.
#include <fmt/format.h>

#include <cmath>

#include "json_file.h"
#include "results_reader.h"
#include "table.h"
#include "units.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

json computedJson(double v) {
    return std::isnan(v) ? json(nullptr) : json(v);
}

std::string taskText(const ResultView& r) {
    return r.taskIndex < 0 ? "none"
                           : fmt::format("\"{}\" (record {})", visibleText(r.task), r.taskIndex);
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
            {"verdict", verdictName(p.verdict)}};
}

}  // namespace

void printResults(std::ostream& out, const std::vector<ResultView>& results) {
    for (const ResultView& r : results) {
        out << fmt::format("\nResult at record {}, taken {}: tag \"{}\" \"{}\" \"{}\": {}\n",
                           r.index, visibleText(r.taken), visibleText(r.tag), visibleText(r.text1),
                           visibleText(r.text2), verdictName(r.verdict));
        if (!r.problem.empty()) {
            out << "  does not decode: " << visibleText(r.problem) << '\n';
            if (r.points.empty()) continue;
        }
        out << fmt::format("  task {}, strategy \"{}\" (record {}), {}{}\n", taskText(r),
                           visibleText(r.strategy), r.strategyIndex,
                           plural(r.points.size(), "point"),
                           r.flagged ? ", flagged: readings after adjustment" : "");
        out << "  measures  " << describeInput(r.setup) << "\n  sources   "
            << describeOutput(r.setup) << "\n  " << describeRest(r.setup) << '\n';
        const std::string in = r.setup.input.unit;
        const std::string src = r.setup.output.unit;
        Table table({"point", "% span", "way", "source " + src, "range up to", "reading " + in,
                     "range up to", "expected", "error %", "recorded %", "verdict"},
                    "rrlrrrrrrrl");
        for (const PointView& p : r.points) {
            table.add({std::to_string(p.index), number(p.fraction * 100.0), direction(p),
                       shortest(p.source), shortest(p.sourceLimit), shortest(p.reading),
                       shortest(p.readingLimit), number(p.expected), number(p.error, 3),
                       number(p.recordedError, 3), verdictName(p.verdict)});
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

std::string resultsCsv(const std::vector<ResultView>& results) {
    std::string csv =
        "result,taken,tag,text1,text2,task,strategy,flagged,point,fraction,direction,"
        "source_unit,nominal_source,source,source_range_high,reading_unit,expected_reading,"
        "reading,reading_range_high,error_percent_of_span,recorded_error_percent,"
        "tolerance_percent,verdict\n";
    for (const ResultView& r : results) {
        for (const PointView& p : r.points) {
            const std::vector<std::string> row = {std::to_string(r.index),
                                                  r.taken,
                                                  r.tag,
                                                  r.text1,
                                                  r.text2,
                                                  r.task,
                                                  r.strategy,
                                                  r.flagged ? "1" : "0",
                                                  std::to_string(p.index),
                                                  shortest(p.fraction),
                                                  direction(p),
                                                  r.setup.output.unit,
                                                  number(p.nominalSource, 9),
                                                  shortest(p.source),
                                                  shortest(p.sourceLimit),
                                                  r.setup.input.unit,
                                                  number(p.expected, 9),
                                                  shortest(p.reading),
                                                  shortest(p.readingLimit),
                                                  number(p.error, 6),
                                                  shortest(p.recordedError),
                                                  shortest(r.setup.tolerance),
                                                  verdictName(p.verdict)};
            std::string line;
            for (const std::string& field : row)
                line += (line.empty() ? "" : ",") + csvField(field);
            csv += line + "\n";
        }
    }
    return csv;
}

}  // namespace kvtcli
