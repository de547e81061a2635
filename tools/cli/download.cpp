// kvtlnk download and clear, each after the guard of the results the calibrator holds.
#include <fmt/format.h>

#include <iostream>

#include "base/words.h"
#include "commands.h"
#include "failure.h"
#include "kvtlnk/kvtlnk.h"
#include "procedure/build.h"
#include "table.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

ProgressFor progressFor(const Context& context) {
    return [&context](const std::string& what) {
        return std::make_unique<Progress>(what, !context.quiet);
    };
}

// Guards the results, and says when the archive holding them all let the command go on.
Guarded guard(const Context& context, Session& session, const ResultsPolicy& policy, Backup& backup,
              const std::string& loss) {
    const Guarded guarded =
        guardResults(context.workspace, session, policy, backup, loss, progressFor(context));
    if (guarded.archived) {
        std::cerr << fmt::format("kvtlnk: the archive {} holds all {} the calibrator holds\n",
                                 context.workspace.archiveShown(),
                                 plural(guarded.archived, "calibration result"));
    }
    return guarded;
}

// A word as the shell takes it back.
std::string shellWord(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789_-./:=@%+,") == std::string::npos;
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// How to send the same procedure again once a download stopped half-way: while the calibrator
// still holds results, a plain download is refused, unless they are saved (in the backup just
// written, or in the archive) or the user gave them up before.
std::string downloadAgain(const PortOptions& port, const std::string& file, bool discard,
                          bool confirmed, const std::string& savedIn) {
    std::string command = "kvtlnk --port " + shellWord(port.port) + " download";
    if (discard) command += " --discard-results";
    if (confirmed) command += " --yes";
    command += " " + shellWord(file);
    return "download again: " + command +
           (savedIn.empty() ? "" : " (the results are saved in " + savedIn + ")");
}

}  // namespace

void downloadCommand(const Context& context, const std::string& file, const ResultsPolicy& policy,
                     bool confirmed) {
    Procedure procedure;
    try {
        procedure = loadProcedure(file, labSource(context.workspace));
    } catch (Error& e) {
        e.addLine(file + ": nothing was sent");
        throw;
    }
    if (procedure.strategies.empty() && procedure.prompts.empty() && procedure.tasks.empty() &&
        !confirmed) {
        throw inputError(file +
                         ": holds no strategies, prompt definitions or tasks, so the procedure "
                         "memory would keep only the 9 standard strategies: add --yes to send "
                         "it all the same (nothing was sent)");
    }
    const PortOptions port = calibratorPort(context);
    Backup backup(policy.backup, context.workspace);
    Progress progress("download", !context.quiet);
    announce(progress, port);
    Connection connection(port);
    Session& session = connection.session();
    const Calibrator& id = session.identity();
    std::vector<uint32_t> sizes = buildImage(procedure);
    checkCapacity(file, id.memoryCapacity);
    if (guard(context, session, policy, backup, "the download erases").uploaded) {
        sizes = buildImage(procedure);
    }
    const std::string savedIn = backup.wanted() ? backup.file(id).path() : "";
    const bool discard = id.resultItems > 0 && (policy.discard || backup.wanted());
    uint32_t used = 0;
    MEMused(&used);
    const uint32_t items =
        session.download(progress, sizes, downloadAgain(port, file, discard, confirmed, savedIn));
    if (context.json) {
        std::cout << dumpJson({{"file", file},
                               {"port", session.portName()},
                               {"calibrator", toJson(id)},
                               {"items", items},
                               {"imageBytes", used},
                               {"strategies", procedure.strategies.size()},
                               {"promptDefinitions", procedure.prompts.size()},
                               {"setups", procedure.setups.size()},
                               {"tasks", procedure.tasks.size()},
                               {"backup", savedIn}});
        return;
    }
    std::cout << fmt::format(
        "Sent {} from {} to the {} on {}: the 9 standard strategies, {}, {}, {}, {}\n",
        plural(items, "item"), visibleText(file), visibleText(id.model), session.portName(),
        plural(procedure.strategies.size(), "strategy", "strategies"),
        plural(procedure.prompts.size(), "prompt definition"),
        plural(procedure.setups.size(), "setup"), plural(procedure.tasks.size(), "task"));
    if (!savedIn.empty()) std::cout << "Saved both memories to " << savedIn << " first\n";
}

void clearCommand(const Context& context, const ResultsPolicy& policy) {
    const PortOptions port = calibratorPort(context);
    Backup backup(policy.backup, context.workspace);
    Connection connection(port);
    Session& session = connection.session();
    guard(context, session, policy, backup,
          "refer to the strategies and tasks that clear takes away");
    session.clearProcedure();
    const std::string savedIn = backup.wanted() ? backup.file(session.identity()).path() : "";
    if (context.json) {
        std::cout << dumpJson(
            {{"port", session.portName()}, {"cleared", true}, {"backup", savedIn}});
        return;
    }
    std::cout << "Cleared the procedure memory of the calibrator on " << session.portName() << '\n';
    if (!savedIn.empty()) std::cout << "Saved both memories to " << savedIn << " first\n";
}

}  // namespace kvtcli
