#include "build.h"

#include "failure.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtcli {
Procedure loadProcedure(const std::string& path) {
    std::vector<Problem> problems;
    Procedure procedure = parseProcedure(readFile(path), problems);
    if (!problems.empty()) throw CliError::fileProblems(path, std::move(problems));
    return procedure;
}

std::vector<uint32_t> buildImage(const Procedure& procedure) {
    MEMclear();
    // The standard strategies share what the emptied image holds.
    uint32_t used = 0;
    uint32_t standard = 0;
    uint32_t results = 0;
    MEMused(&used);
    MEMstats(&standard, &results);
    std::vector<uint32_t> sizes(standard, standard == 0 ? 0 : used / standard);
    if (standard != 0) sizes[0] += used % standard;
    // Makes one record with a definition call and notes what it takes.
    auto add = [&sizes, before = used](uint32_t rc, const std::string& field) mutable {
        if (rc != KVTLNK_OK) throw libraryError(rc, "building " + field);
        uint32_t now = 0;
        MEMused(&now);
        sizes.push_back(now - before);
        before = now;
    };
    for (const StrategyDefinition& s : procedure.strategies) {
        uint32_t index = 0;
        add(MEMstrategyDefn(&index, s.name.c_str(), static_cast<int32_t>(s.points.size()),
                            s.points.data()),
            s.path);
    }
    for (const PromptDefinition& p : procedure.prompts) {
        add(MEMpromptDefn(p.name.c_str(), p.text.c_str()), p.path);
    }
    for (const TaskDefinition& t : procedure.tasks) {
        add(MEMstartTask(t.name.c_str()), t.path);
        for (const Step& step : t.steps)
            add(MEMprompt(step.prompt.c_str()), step.path);
        add(MEMendTask(), t.path);
    }
    return sizes;
}

}  // namespace kvtcli
