#include "commands.h"

#include <fmt/format.h>

#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>

#include "archive_store.h"
#include "build.h"
#include "failure.h"
#include "image.h"
#include "interrupt.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"
#include "show.h"
#include "simulator.h"
#include "table.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

void printFields(const std::string& title,
                 const std::vector<std::pair<std::string, std::string>>& rows) {
    std::cout << title << '\n';
    size_t width = 0;
    for (const auto& [label, value] : rows)
        width = std::max(width, label.size());
    for (const auto& [label, value] : rows) {
        std::cout << "  " << label << std::string(width - label.size() + 2, ' ')
                  << visibleText(value) << '\n';
    }
}

json identityJson(const Identity& id) {
    return {{"model", id.model},
            {"firmware", id.firmware},
            {"ident3", id.ident3},
            {"edValue", id.edValue},
            {"procedureItems", id.procedureItems},
            {"resultItems", id.resultItems}};
}

std::string libraryVersion() {
    char version[4] = {};
    KVTversion(version);
    return version;
}

bool sameRecords(const std::vector<kvttools::MemoryRecord>& a, const std::vector<ImageRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].version != b[i].version || a[i].data != b[i].data ||
            kvttools::formatStamp(a[i].stamp) != kvttools::formatStamp(b[i].stamp)) {
            return false;
        }
    }
    return true;
}

// Uploads both memories into the backup file and reads it back as show reads an image file,
// before anything on the calibrator changes.
void saveBackup(const Context& context, Session& session, OutputFile& file) {
    Progress progress("backup", !context.quiet);
    session.upload(progress, file.path() + " was not written");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    file.commit(dumpJson(toJson(image)));
    std::string problem = "its records differ from those uploaded";
    bool same = false;
    try {
        const ImageFile back = readImageFile(file.path(), readJsonFile(file.path()));
        same = sameRecords(back.memories.procedure, image.procedure) &&
               sameRecords(back.memories.results, image.results);
    } catch (const CliError& e) {
        problem = e.what();
    }
    if (!same) {
        throw inputError("the backup " + file.path() + " does not read back as written: " +
                         problem + " (nothing was changed on the calibrator)");
    }
}

// Before a command that empties the results memory, or takes away the procedure its results
// refer to: saves both memories when asked to, and otherwise refuses while results are there.
void guardResults(const Context& context, Session& session, const ResultsPolicy& policy,
                  std::optional<OutputFile>& backup, const std::string& loss) {
    if (backup) return saveBackup(context, session, *backup);
    const uint32_t results = session.identity().resultItems;
    if (results == 0 || policy.discard || archiveHoldsAll(context, session)) return;
    throw inputError(fmt::format(
        "the calibrator on {} holds {}, which {}: add --backup FILE to save both memories there "
        "first, store them with upload --store, or add --discard-results (nothing was sent)",
        session.portName(), plural(results, "result item"), loss));
}

}  // namespace

std::string localTime() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

json calibratorJson(Session& session) {
    json calibrator = identityJson(session.identity());
    calibrator["port"] = session.portName();
    calibrator["uploaded"] = localTime();
    return calibrator;
}

void announce(Progress& progress, const Context& context) {
    progress.phase("identifying the calibrator on " + context.port.port);
}

// An image file's records reach the library as an application's would: uploaded from a
// calibrator, here the emulator holding them.
ImageDocument imageOfFile(const Context& context, const std::string& file) {
    const json value = readJsonFile(file);
    if (isImageJson(value)) {
        const ImageFile image = readImageFile(file, value);
        return imageOfMemories(context, image.memories, image.calibrator);
    }
    buildImage(checkedProcedure(file, value));
    return captureImage();
}

ImageDocument imageOfMemories(const Context& context, const kvttools::MemoryFile& memories,
                              const json& calibrator) {
    PortOptions sim;  // the emulator as it comes, with the user's time-outs
    sim.timeoutMs = context.port.timeoutMs;
    sim.attempts = context.port.attempts;
    Session session(sim, &memories);
    Progress silent("upload", false);
    session.upload(silent);
    ImageDocument decoded = captureImage();
    decoded.calibrator = calibrator;
    return decoded;
}

void identifyCommand(const Context& context) {
    Session session(context.port);
    const Identity& id = session.identity();
    if (context.json) {
        json out = identityJson(id);
        out["port"] = session.portName();
        out["library"] = libraryVersion();
        std::cout << dumpJson(out);
        return;
    }
    printFields("Calibrator on " + session.portName(),
                {{"model", id.model},
                 {"firmware", id.firmware},
                 {"identification", id.ident3},
                 {"ed value", std::to_string(id.edValue)},
                 {"procedure items", std::to_string(id.procedureItems)},
                 {"result items", std::to_string(id.resultItems)},
                 {"library", libraryVersion()}});
}

void memstatsCommand(const Context& context) {
    Session session(context.port);
    const Identity& id = session.identity();
    uint32_t total3 = 0;
    uint32_t total4 = 0;
    const uint32_t rc = KVTmemstats(&total3, &total4);
    if (rc != KVTLNK_OK) throw libraryError(rc, "reading memory statistics");
    if (context.json) {
        std::cout << dumpJson({{"port", session.portName()},
                               {"procedureItems", id.procedureItems},
                               {"resultItems", id.resultItems},
                               {"field3Total", total3},
                               {"field4Total", total4}});
        return;
    }
    printFields("Memory of the calibrator on " + session.portName(),
                {{"procedure items", std::to_string(id.procedureItems)},
                 {"result items", std::to_string(id.resultItems)},
                 {"used (ms field 3)", std::to_string(total3)},
                 {"free (ms field 4)", std::to_string(total4)}});
}

void downloadCommand(const Context& context, const std::string& file, const ResultsPolicy& policy,
                     bool confirmed) {
    Procedure procedure;
    try {
        procedure = loadProcedure(file);
    } catch (CliError& e) {
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
    std::optional<OutputFile> backup;
    if (!policy.backup.empty()) backup.emplace(policy.backup);
    Progress progress("download", !context.quiet);
    announce(progress, context);
    Session session(context.port);
    const Identity& id = session.identity();
    guardResults(context, session, policy, backup, "the download erases");
    const std::vector<uint32_t> sizes = buildImage(procedure);
    uint32_t used = 0;
    MEMused(&used);
    const uint32_t items = session.download(progress, sizes);
    if (context.json) {
        std::cout << dumpJson({{"file", file},
                               {"port", session.portName()},
                               {"calibrator", identityJson(id)},
                               {"items", items},
                               {"imageBytes", used},
                               {"strategies", procedure.strategies.size()},
                               {"promptDefinitions", procedure.prompts.size()},
                               {"setups", procedure.setups.size()},
                               {"tasks", procedure.tasks.size()},
                               {"backup", policy.backup}});
        return;
    }
    std::cout << fmt::format(
        "Sent {} from {} to the {} on {}: the 9 standard strategies, {}, {}, {}, {}\n",
        plural(items, "item"), visibleText(file), visibleText(id.model), session.portName(),
        plural(procedure.strategies.size(), "strategy", "strategies"),
        plural(procedure.prompts.size(), "prompt definition"),
        plural(procedure.setups.size(), "setup"), plural(procedure.tasks.size(), "task"));
    if (backup) std::cout << "Saved both memories to " << backup->path() << " first\n";
}

void uploadCommand(const Context& context, const std::string& out, bool store) {
    std::optional<OutputFile> file;
    if (!out.empty()) file.emplace(out);
    Progress progress("upload", !context.quiet);
    announce(progress, context);
    Session session(context.port);
    const std::string model = session.identity().model;
    session.upload(progress, file ? out + " was not written" : "");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    if (store) return storeUpload(context, image, session.portName(), file);
    if (!file) {
        if (context.json) {
            std::cout << dumpJson(toJson(image));
        } else {
            printImage(std::cout, image);
        }
        return;
    }
    file->commit(dumpJson(toJson(image)));
    if (context.json) {
        std::cout << dumpJson({{"file", out},
                               {"procedureRecords", image.procedure.size()},
                               {"resultRecords", image.results.size()}});
        return;
    }
    std::cout << fmt::format("Wrote {}: {}, {} from the {} on {}\n", out,
                             plural(image.procedure.size(), "procedure record"),
                             plural(image.results.size(), "result record"), visibleText(model),
                             session.portName());
}

void clearCommand(const Context& context, const ResultsPolicy& policy) {
    std::optional<OutputFile> backup;
    if (!policy.backup.empty()) backup.emplace(policy.backup);
    Session session(context.port);
    guardResults(context, session, policy, backup,
                 "refer to the strategies and tasks that clear takes away");
    checkInterrupt();
    setStopState("the procedure memory may or may not be empty");
    const uint32_t rc = KVTclear();
    if (rc != KVTLNK_OK) {
        throw libraryError(rc, "clearing", "the procedure memory may or may not be empty");
    }
    setStopState("the procedure memory is empty");
    if (context.json) {
        std::cout << dumpJson({{"port", session.portName()}, {"cleared", true}});
        return;
    }
    std::cout << "Cleared the procedure memory of the calibrator on " << session.portName() << '\n';
}

void dumpCommand(const Context& context, const std::string& directory, const std::string& from) {
    // MEMdump adds up to 17 characters ("/prc4294967295.nd") to a path of at most 255 bytes.
    if (directory.empty() || directory.size() > 230) {
        throw inputError("dump: the directory path must have 1 to 230 characters");
    }
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory)) {
        throw inputError("cannot make the directory " + directory +
                         (error ? ": " + error.message() : ""));
    }
    std::string source = from;
    if (!from.empty()) {
        buildImage(loadProcedure(from));
    } else {
        Progress progress("upload", !context.quiet);
        announce(progress, context);
        Session session(context.port);
        session.upload(progress, "nothing was written to " + directory);
        source = "the calibrator on " + session.portName();
    }
    MEMdump(directory.c_str());
    size_t files = 0;
    const std::vector<std::string> amiss = dumpFilesAmiss(directory, &files);
    if (!amiss.empty()) {
        throw inputError(fmt::format(
            "dump: wrote {} of the {} files of the image of {} to {}: {}{} could not be written",
            files - amiss.size(), files, source, directory, amiss.front(),
            amiss.size() > 1 ? fmt::format(" and {} more", amiss.size() - 1) : ""));
    }
    uint32_t procedure = 0;
    uint32_t results = 0;
    MEMstats(&procedure, &results);
    if (context.json) {
        std::cout << dumpJson({{"directory", directory},
                               {"source", source},
                               {"procedureRecords", procedure},
                               {"resultRecords", results}});
        return;
    }
    std::cout << fmt::format("Wrote the image of {} to {}: prc.dir and {}, res.dir and {}\n",
                             source, directory, plural(procedure, "procedure record file"),
                             plural(results, "result record file"));
}

void showCommand(const Context& context, const std::string& file) {
    const ImageDocument image = imageOfFile(context, file);
    if (context.json) {
        std::cout << dumpJson(toJson(image));
    } else {
        printImage(std::cout, image);
    }
}

}  // namespace kvtcli
