#include "procedure/build.h"

#include <fmt/format.h>

#include <map>

#include "base/error.h"
#include "base/files.h"
#include "base/words.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtapp {
namespace {

const SetupDefinition& setupNamed(const Procedure& procedure, const std::string& name) {
    for (const SetupDefinition& s : procedure.setups) {
        if (s.name == name) return s;
    }
    throw inputError("no setup is named \"" + name + "\"");
}

}  // namespace

Procedure loadProcedure(const std::string& path, const LabSource& lab) {
    return checkedProcedure(path, readJsonFile(path), lab);
}

Procedure checkedProcedure(const std::string& path, const json& root, const LabSource& lab) {
    std::vector<Problem> problems;
    Procedure procedure = readProcedure(root, problems, lab);
    if (!problems.empty()) throw Error::fileProblems(path, std::move(problems));
    return procedure;
}

void checkCapacity(const std::string& file, uint32_t capacity) {
    uint32_t used = 0;
    MEMused(&used);
    if (capacity == 0 || used <= capacity) return;
    throw inputError(fmt::format(
        "{}: the procedure takes {} bytes of the calibrator's procedure memory, which holds {} "
        "bytes: leave tasks out, or send them in several downloads (nothing was sent)",
        file, grouped(used), grouped(capacity)));
}

void countNewRecords(std::vector<uint32_t>& sizes) {
    uint32_t count = 0;
    uint32_t results = 0;
    uint32_t used = 0;
    MEMstats(&count, &results);
    MEMused(&used);
    uint32_t counted = 0;
    for (uint32_t size : sizes)
        counted += size;
    if (count <= sizes.size() || used < counted) return;
    const auto added = static_cast<uint32_t>(count - sizes.size());
    const uint32_t share = (used - counted) / added;
    sizes.push_back(used - counted - share * (added - 1));
    sizes.resize(count, share);
}

std::vector<uint32_t> buildImage(const Procedure& procedure) {
    MEMclear();
    std::vector<uint32_t> sizes;
    countNewRecords(sizes);  // the standard strategies
    const auto add = [&sizes](uint32_t rc, const std::string& field) {
        if (rc != KVTLNK_OK) throw libraryError(rc, "building " + field);
        countNewRecords(sizes);
    };
    std::map<std::string, uint32_t> strategies;  // index by name
    for (const std::string& name : standardStrategyNames()) {
        strategies.emplace(name, static_cast<uint32_t>(strategies.size()));
    }
    for (const StrategyDefinition& s : procedure.strategies) {
        uint32_t index = 0;
        add(MEMstrategyDefn(&index, s.name.c_str(), static_cast<int32_t>(s.points.size()),
                            s.points.data()),
            s.path);
        strategies[s.name] = index;
    }
    for (const PromptDefinition& p : procedure.prompts) {
        add(MEMpromptDefn(p.name.c_str(), p.text.c_str()), p.path);
    }
    for (const TaskDefinition& t : procedure.tasks) {
        // The setups of the task's tests come right before its start, saved once for the task,
        // so that the library finds the task of each result from its setup.
        std::map<std::string, int32_t> setups;
        for (const Step& step : t.steps) {
            if (!step.test || setups.count(step.test->setup)) continue;
            const SetupDefinition& setup = setupNamed(procedure, step.test->setup);
            setups[setup.name] = saveSetup(setup);
            countNewRecords(sizes);
        }
        add(MEMstartTask(t.name.c_str()), t.path);
        for (const Step& step : t.steps) {
            if (!step.test) {
                add(MEMprompt(step.prompt.c_str()), step.path);
                continue;
            }
            const TestDefinition& test = *step.test;
            add(MEMtemplate(strategies.at(test.strategy), test.flag ? 1 : 0, test.text1.c_str(),
                            test.text2.c_str(), static_cast<uint32_t>(setups.at(test.setup))),
                step.path);
        }
        add(MEMendTask(), t.path);
    }
    return sizes;
}

}  // namespace kvtapp
