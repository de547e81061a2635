#include "procedure/description.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/charset.h"
#include "base/json.h"
#include "common/json_text.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"
#include "procedure/field_checker.h"

namespace kvtapp {
namespace {

// The names a description defines, each with the place of its definition. Found by hash, so
// that a description is checked in time proportional to its size.
using Defined = std::unordered_map<std::string, std::string>;
struct Names {
    Defined strategies, prompts, setups, tasks;
};

// Takes the name for the item at path; a problem when an item of its kind has it already.
void define(Checker& check, Defined& defined, const std::string& name, const std::string& path,
            const std::string& field) {
    const auto [it, added] = defined.emplace(name, path);
    if (!added) check.problem(field, inQuotes(name) + " is already defined at " + it->second);
}

std::vector<float> readPoints(Checker& check, const json& strategy, const std::string& path) {
    const json* points = check.required(strategy, path, "points");
    const std::string field = member(path, "points");
    if (!points) return {};
    if (!points->is_array()) {
        check.problem(field, "must be a list of numbers, not " + describeType(*points));
        return {};
    }
    if (points->empty() || points->size() > kStrategyPointsMax) {
        check.problem(field, fmt::format("holds {} points; a strategy has 1 to {}", points->size(),
                                         kStrategyPointsMax));
        return {};
    }
    std::vector<float> values;
    for (size_t i = 0; i < points->size(); ++i) {
        const json& p = (*points)[i];
        if (!p.is_number()) {
            check.problem(element(field, i), "must be a number, not " + describeType(p));
            continue;
        }
        // The calibrator stores points as single floats and takes 0.0 to 3.0 of the span.
        const auto v = static_cast<float>(p.get<double>());
        if (!(v >= 0.0f && v <= 3.0f)) {
            check.problem(element(field, i), "is " + p.dump() +
                                                 "; a point lies between 0.0 (the low end of "
                                                 "the span) and 3.0 (three spans up)");
            continue;
        }
        values.push_back(v);
    }
    return values;
}

void readStrategies(Checker& check, const json& root, Procedure& procedure, Names& names) {
    const json* strategies = check.list(root, "", "strategies");
    if (!strategies) return;
    const auto& standard = standardStrategyNames();
    for (size_t i = 0; i < strategies->size(); ++i) {
        const std::string path = element("strategies", i);
        const json& s = (*strategies)[i];
        if (!check.object(s, path, {"name", "points"})) continue;
        StrategyDefinition definition{path, {}, readPoints(check, s, path)};
        if (const json* name = check.required(s, path, "name")) {
            if (auto t = check.text(*name, member(path, "name"), kStrategyNameMax, true)) {
                definition.name = *t;
            }
        }
        if (definition.name.empty()) continue;
        if (std::find(standard.begin(), standard.end(), definition.name) != standard.end()) {
            check.problem(member(path, "name"), inQuotes(definition.name) +
                                                    " is a standard strategy of every procedure "
                                                    "memory; choose another name");
            continue;
        }
        define(check, names.strategies, definition.name, path, member(path, "name"));
        procedure.strategies.push_back(std::move(definition));
    }
}

std::string excerpt(const std::string& calibratorText, size_t from) {
    std::string rest = calibratorText.substr(from, 24);
    std::replace(rest.begin(), rest.end(), '\n', ' ');
    return toUtf8(rest) + (calibratorText.size() - from > 24 ? "..." : "");
}

// The library lays the text out in the display font as the calibrator does.
void checkFit(Checker& check, const PromptDefinition& prompt) {
    uint32_t fitting = 0;
    const uint32_t rc = MEMcheckPromptDefn(prompt.text.c_str(), &fitting);
    if (rc == KVTLNK_OK) return;
    const std::string field = member(prompt.path, "text");
    if (rc == KVTLNK_E_PROMPT_FIT) {
        check.problem(field,
                      fmt::format("only {} of {} characters fit the display (10 lines of "
                                  "229 pixels); it would be cut before \"{}\"",
                                  fitting, prompt.text.size(), excerpt(prompt.text, fitting)));
    } else {
        check.problem(field, fmt::format("{}: {}", rc, kvtlnkMessage(rc)));
    }
}

void readPrompts(Checker& check, const json& root, Procedure& procedure, Names& names) {
    const json* prompts = check.list(root, "", "prompts");
    if (!prompts) return;
    for (size_t i = 0; i < prompts->size(); ++i) {
        const std::string path = element("prompts", i);
        const json& p = (*prompts)[i];
        if (!check.object(p, path, {"name", "text"})) continue;
        PromptDefinition definition{path, {}, {}};
        const json* text = check.required(p, path, "text");
        std::optional<std::string> t;
        if (text) t = check.text(*text, member(path, "text"), std::string::npos, false);
        if (t) {
            definition.text = *t;
            checkFit(check, definition);
        }
        const json* name = check.required(p, path, "name");
        if (!name) continue;
        std::optional<std::string> n = check.text(*name, member(path, "name"), kNameMax, true);
        if (!n) continue;
        definition.name = *n;
        define(check, names.prompts, definition.name, path, member(path, "name"));
        procedure.prompts.push_back(std::move(definition));
    }
}

std::string promptNames(const Procedure& procedure) {
    if (procedure.prompts.empty()) return "the file defines none";
    std::string names;
    size_t shown = 0;
    for (const PromptDefinition& p : procedure.prompts) {
        if (shown++ == 8) {
            names += ", ...";
            break;
        }
        names += (names.empty() ? "" : ", ") + inQuotes(p.name);
    }
    return "defined: " + names;
}

// A test step: a setup of the file, a strategy, the flag and the template's two texts.
std::optional<TestDefinition> readTest(Checker& check, const json& value, const std::string& path,
                                       const Names& names) {
    if (!check.object(value, path, {"setup", "strategy", "flag", "texts"})) return std::nullopt;
    const size_t problemsBefore = check.count();
    TestDefinition test;
    if (const json* setup = check.required(value, path, "setup")) {
        test.setup = check.name(*setup, member(path, "setup")).value_or("");
        if (!test.setup.empty() && names.setups.count(test.setup) == 0) {
            check.problem(member(path, "setup"),
                          "\"" + test.setup + "\" names no setup of \"setups\"");
        }
    }
    if (const json* strategy = check.required(value, path, "strategy")) {
        const std::string field = member(path, "strategy");
        test.strategy = check.text(*strategy, field, kStrategyNameMax, true).value_or("");
        const auto& standard = standardStrategyNames();
        const bool known =
            std::find(standard.begin(), standard.end(), test.strategy) != standard.end() ||
            names.strategies.count(test.strategy) != 0;
        if (!test.strategy.empty() && !known) {
            check.problem(field,
                          inQuotes(test.strategy) +
                              " names neither a standard strategy nor one of \"strategies\"");
        }
    }
    if (value.contains("flag"))
        test.flag = check.flag(value["flag"], member(path, "flag")).value_or(false);
    if (const json* texts = check.list(value, path, "texts")) {
        const std::string field = member(path, "texts");
        if (texts->size() > 2) check.problem(field, "holds more than the template's two texts");
        std::string* into[] = {&test.text1, &test.text2};
        for (size_t i = 0; i < std::min<size_t>(texts->size(), 2); ++i) {
            const json& text = (*texts)[i];
            if (text != "")
                *into[i] = check.text(text, element(field, i), kNameMax, true).value_or("");
        }
    }
    if (check.count() != problemsBefore) return std::nullopt;
    return test;
}

void readSteps(Checker& check, const json& task, TaskDefinition& definition,
               const Procedure& procedure, const Names& names) {
    const json* steps = check.list(task, definition.path, "steps");
    if (!steps) return;
    for (size_t i = 0; i < steps->size(); ++i) {
        const std::string path = element(member(definition.path, "steps"), i);
        const json& s = (*steps)[i];
        if (!check.object(s, path, {"prompt", "test"})) continue;
        if (s.contains("test")) {
            if (s.contains("prompt")) check.problem(path, "a step is a prompt or a test, not both");
            if (auto test = readTest(check, s["test"], member(path, "test"), names)) {
                definition.steps.push_back({path, "", test});
            }
            continue;
        }
        const json* prompt = check.required(s, path, "prompt");
        if (!prompt) continue;
        std::optional<std::string> name =
            check.text(*prompt, member(path, "prompt"), kNameMax, true);
        if (!name) continue;
        if (names.prompts.count(*name) == 0) {
            check.problem(
                member(path, "prompt"),
                inQuotes(*name) + " names no prompt definition (" + promptNames(procedure) + ")");
        }
        definition.steps.push_back({path, *name, std::nullopt});
    }
}

void readTasks(Checker& check, const json& root, Procedure& procedure, Names& names) {
    const json* tasks = check.list(root, "", "tasks");
    if (!tasks) return;
    for (size_t i = 0; i < tasks->size(); ++i) {
        TaskDefinition definition{element("tasks", i), {}, {}};
        const json& t = (*tasks)[i];
        if (!check.object(t, definition.path, {"name", "steps"})) continue;
        readSteps(check, t, definition, procedure, names);
        const json* name = check.required(t, definition.path, "name");
        if (!name) continue;
        std::optional<std::string> n =
            check.text(*name, member(definition.path, "name"), kNameMax, true);
        if (!n) continue;
        definition.name = *n;
        define(check, names.tasks, definition.name, definition.path,
               member(definition.path, "name"));
        procedure.tasks.push_back(std::move(definition));
    }
}

}  // namespace

const std::vector<std::string>& standardStrategyNames() {
    // The library makes them: an emptied procedure memory holds them and nothing else.
    static const std::vector<std::string> names = [] {
        MEMclear();
        uint32_t count = 0;
        uint32_t results = 0;
        MEMstats(&count, &results);
        std::vector<std::string> list;
        for (uint32_t i = 0; i < count; ++i) {
            char name[64] = {};
            int32_t points = 0;
            if (MEMstrategyInfo(static_cast<int32_t>(i), name, &points, 0, nullptr) == KVTLNK_OK) {
                list.push_back(name);
            }
        }
        return list;
    }();
    return names;
}

Procedure parseProcedure(const std::string& jsonText, std::vector<Problem>& problems,
                         const LabSource& lab) {
    Problem problem;
    const std::optional<json> root =
        kvttools::parseJson(jsonText, &problem.message, &problem.field);
    if (!root) {
        problems.push_back(problem);
        return {};
    }
    return readProcedure(*root, problems, lab);
}

Procedure readProcedure(const json& root, std::vector<Problem>& problems, const LabSource& lab) {
    Procedure procedure;
    Checker check(problems);
    if (!check.object(root, "", {"strategies", "prompts", "setups", "tasks"})) return procedure;
    Names names;
    readStrategies(check, root, procedure, names);
    readPrompts(check, root, procedure, names);
    // Without a session the library applies the early firmware's rules to saved setups; a
    // description is built as for the built-in emulator's K27, which takes every setup, and a
    // session then applies the rules of the calibrator at hand.
    KVTsetVersion(kCheckedModel, kCheckedFirmware);
    procedure.setups = readSetups(check, root, lab);
    for (const SetupDefinition& s : procedure.setups)
        names.setups.emplace(s.name, s.path);
    readTasks(check, root, procedure, names);
    return procedure;
}

}  // namespace kvtapp
