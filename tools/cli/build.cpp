#include "build.h"

#include "failure.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtcli {
namespace {

void check(uint32_t rc, const std::string& field) {
    if (rc != KVTLNK_OK) throw libraryError(rc, "building " + field);
}

}  // namespace

Procedure loadProcedure(const std::string& path) {
    std::vector<Problem> problems;
    Procedure procedure = parseProcedure(readFile(path), problems);
    if (!problems.empty()) throw CliError::fileProblems(path, std::move(problems));
    return procedure;
}

void buildImage(const Procedure& procedure) {
    MEMclear();
    for (const StrategyDefinition& s : procedure.strategies) {
        uint32_t index = 0;
        check(MEMstrategyDefn(&index, s.name.c_str(), static_cast<int32_t>(s.points.size()),
                              s.points.data()),
              s.path);
    }
    for (const PromptDefinition& p : procedure.prompts) {
        check(MEMpromptDefn(p.name.c_str(), p.text.c_str()), p.path);
    }
    for (const TaskDefinition& t : procedure.tasks) {
        check(MEMstartTask(t.name.c_str()), t.path);
        for (const Step& step : t.steps)
            check(MEMprompt(step.prompt.c_str()), step.path);
        check(MEMendTask(), t.path);
    }
}

}  // namespace kvtcli
