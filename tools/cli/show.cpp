#include "show.h"

#include "uncertainty/uncertainty.h"

#include <fmt/format.h>

#include "base/charset.h"
#include "base/units.h"
#include "base/words.h"
#include "table.h"

namespace kvtcli {
namespace {

using namespace kvtapp;

std::string taskName(const Result& r) {
    return r.taskIndex < 0 ? "none" : "\"" + visibleText(r.task) + "\"";
}

std::string oneLine(const std::string& utf8, size_t max) {
    std::string line;
    size_t width = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
        if (starts && ++width > max) return line + "...";
        line += utf8[i] == '\n' ? std::string(" / ") : std::string(1, utf8[i]);
    }
    return line;
}

void printDirectory(std::ostream& out, const char* title, const std::vector<ImageRecord>& records) {
    out << title << ": ";
    if (records.empty()) {
        out << "empty\n";
        return;
    }
    out << plural(records.size(), "record") << '\n';
    Table table({"index", "kind", "name", "code", "version", "bytes", "stamp"}, "rrlrrrl");
    for (const ImageRecord& r : records) {
        table.add({std::to_string(r.index), std::to_string(r.kind), kindName(r.kind),
                   std::to_string(r.code), std::to_string(r.version), std::to_string(r.data.size()),
                   kvttools::formatStamp(r.stamp)});
    }
    table.print(out);
}

void printStrategies(std::ostream& out, const std::vector<StrategyView>& strategies) {
    if (strategies.empty()) return;
    out << "\nStrategies\n";
    Table table({"index", "name", "points", "fractions of the span"}, "rlrl");
    for (const StrategyView& s : strategies) {
        table.add({std::to_string(s.index), s.name, std::to_string(s.points.size()),
                   formatPoints(s.points)});
    }
    table.print(out);
}

void printPrompts(std::ostream& out, const std::vector<PromptDefinitionView>& prompts) {
    if (prompts.empty()) return;
    out << "\nPrompt definitions\n";
    Table table({"index", "name", "chars", "text"}, "rlrl");
    for (const PromptDefinitionView& p : prompts) {
        table.add({std::to_string(p.index), p.name, std::to_string(displayWidth(p.text)),
                   oneLine(p.text, 60)});
    }
    table.print(out);
}

std::string stepDetail(const StepView& s) {
    if (s.kind == "prompt") return s.prompt + (s.defined ? "" : "  (no such prompt definition)");
    const std::string strategy =
        s.strategyName.empty()
            ? fmt::format("strategy at record {} (no strategy there)", s.strategy)
            : fmt::format("strategy \"{}\" at record {}", s.strategyName, s.strategy);
    return fmt::format("{}, flag {}, \"{}\" / \"{}\"", strategy, s.flag ? "on" : "off", s.text1,
                       s.text2);
}

void printTasks(std::ostream& out, const std::vector<TaskView>& tasks) {
    if (tasks.empty()) return;
    out << "\nTasks\n";
    for (const TaskView& t : tasks) {
        out << "  "
            << (t.name.empty() ? "(steps outside a task)" : "\"" + visibleText(t.name) + "\"")
            << " at record " << t.index << ", " << plural(t.steps.size(), "step")
            << (t.ended ? "" : ", no task end record") << '\n';
        if (t.steps.empty()) continue;
        Table table({"index", "step", "shows"}, "rll");
        for (const StepView& s : t.steps) {
            table.add({std::to_string(s.index), s.kind, stepDetail(s)});
        }
        table.print(out, "    ");
    }
}

void printSetup(std::ostream& out, const Setup& setup) {
    out << "    measures  " << describeInput(setup) << "\n    sources   " << describeOutput(setup)
        << "\n    " << describeRest(setup) << '\n';
}

void printTestSetups(std::ostream& out, const std::vector<TaskView>& tasks) {
    bool first = true;
    for (const TaskView& t : tasks) {
        for (const StepView& s : t.steps) {
            if (s.kind != "test") continue;
            if (first) out << "\nSetups of the tests\n";
            first = false;
            out << fmt::format("  test at record {} (\"{}\" / \"{}\"){}\n", s.index,
                               visibleText(s.text1), visibleText(s.text2),
                               s.setup ? "" : ": its setup does not decode");
            if (s.setup) printSetup(out, *s.setup);
        }
    }
}

// A text member of an untrusted object, empty when absent or not a text.
std::string textOf(const nlohmann::ordered_json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : "";
}

}  // namespace

std::string formatPoints(const std::vector<float>& points, size_t max) {
    std::string text;
    for (size_t i = 0; i < points.size() && i < max; ++i) {
        text += fmt::format("{}{:g}", i ? ", " : "", points[i]);
    }
    if (points.size() > max) text += ", ...";
    return text;
}

void printResults(std::ostream& out, const std::vector<Result>& results, double minimumTur) {
    for (const Result& r : results) {
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
        const DisplayUnit inUnit = scaleUnit(r.setup.input);
        const std::string in = inUnit.symbol;
        const std::string src = scaleUnit(r.setup.output).symbol;
        const bool judged = std::any_of(r.points.begin(), r.points.end(),
                                        [](const Point& p) { return p.uncertainty > 0; });
        std::vector<std::string> headings = {
            "point",          "% span",        "way",         "nominal " + src, "source " + src,
            "expected " + in, "reading " + in, "error " + in, "error %",        "recorded %"};
        if (judged) headings.insert(headings.end(), {"U " + in, "TUR"});
        headings.push_back("verdict");
        Table table(headings, judged ? "rrlrrrrrrrrrl" : "rrlrrrrrrrl");
        for (const Point& p : r.points) {
            const PointText t = pointText(r, p);
            std::vector<std::string> row = {std::to_string(p.index),
                                            number(p.fraction * 100.0),
                                            p.down ? "down" : "up",
                                            t.nominal,
                                            t.source,
                                            t.expected,
                                            t.reading,
                                            t.error,
                                            t.errorPercent,
                                            t.recorded};
            if (judged) {
                row.push_back(
                    quoted(p.reading / inUnit.factor, p.uncertainty / inUnit.factor).uncertainty);
                row.push_back(std::isnan(p.tur) ? ""
                              : p.tur < minimumTur
                                  ? fmt::format("{:.1f} < {}", p.tur, number(minimumTur))
                                  : fmt::format("{:.1f}", p.tur));
            }
            row.push_back(verdictName(p.verdict) +
                          std::string(p.beyondRange ? ": beyond range" : ""));
            table.add(row);
        }
        table.print(out);
    }
}

void printImage(std::ostream& out, const ImageDocument& image) {
    const nlohmann::ordered_json& c = image.calibrator;
    if (c.is_object()) {
        out << "Calibrator: " << visibleText(textOf(c, "model")) << ", firmware "
            << visibleText(textOf(c, "firmware")) << "\n\n";
    }
    printDirectory(out, "Procedure memory", image.procedure);
    printDirectory(out, "Results memory", image.results);
    printStrategies(out, image.strategies);
    printPrompts(out, image.prompts);
    printTasks(out, image.tasks);
    printTestSetups(out, image.tasks);
    if (!image.setups.empty()) {
        out << "\nSaved setups at records";
        for (int32_t i : image.setups)
            out << ' ' << i;
        out << '\n';
    }
    if (!image.calibrations.empty()) {
        out << "\nCalibration results\n";
        printResults(out, image.calibrations);
    }
    if (!image.notes.empty()) {
        out << "\nNot decoded\n";
        for (const std::string& n : image.notes)
            out << "  " << visibleText(n) << '\n';
    }
}

}  // namespace kvtcli
