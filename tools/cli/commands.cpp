#include "commands.h"

#include <filesystem>
#include <iostream>

#include "build.h"
#include "failure.h"
#include "image.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"
#include "show.h"

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
        std::cout << "  " << label << std::string(width - label.size() + 2, ' ') << value << '\n';
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

// The image a file stands for, decoded by the library. An image file's records reach the
// library as an application's would: uploaded from a calibrator, here the emulator holding
// them. A procedure description is built with the MEM calls.
ImageDocument imageOfFile(const Context& context, const std::string& file) {
    const std::string text = readFile(file);
    std::string reason;
    const std::optional<json> value = parseJson(text, reason);
    if (value && isImageJson(*value)) {
        std::vector<Problem> problems;
        ImageDocument image = imageFromJson(*value, problems);
        if (!problems.empty()) throw CliError::fileProblems(file, std::move(problems));
        PortOptions sim;  // the emulator as it comes, with the user's time-outs
        sim.timeoutMs = context.port.timeoutMs;
        sim.attempts = context.port.attempts;
        Session session(sim, &image);
        Progress silent("upload", false);
        session.upload(silent);
        ImageDocument decoded = captureImage();
        decoded.calibrator = image.calibrator;
        return decoded;
    }
    buildImage(loadProcedure(file));
    return captureImage();
}

}  // namespace

void identifyCommand(const Context& context) {
    Session session(context.port);
    const Identity id = session.identify();
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
    const Identity id = session.identify();
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

void downloadCommand(const Context& context, const std::string& file) {
    Procedure procedure;
    try {
        procedure = loadProcedure(file);
    } catch (CliError& e) {
        e.addLine(file + ": nothing was sent");
        throw;
    }
    buildImage(procedure);
    uint32_t used = 0;
    MEMused(&used);
    Session session(context.port);
    const Identity id = session.identify();
    Progress progress("download", !context.quiet);
    const uint32_t items = session.download(progress);
    if (context.json) {
        std::cout << dumpJson({{"file", file},
                               {"port", session.portName()},
                               {"calibrator", identityJson(id)},
                               {"items", items},
                               {"imageBytes", used},
                               {"strategies", procedure.strategies.size()},
                               {"promptDefinitions", procedure.prompts.size()},
                               {"tasks", procedure.tasks.size()}});
        return;
    }
    std::cout << "Sent " << items << " items from " << file << " to the " << id.model << " on "
              << session.portName() << ": the 9 standard strategies, "
              << procedure.strategies.size() << " strategies, " << procedure.prompts.size()
              << " prompt definitions, " << procedure.tasks.size() << " tasks\n";
}

void uploadCommand(const Context& context, const std::string& out) {
    Session session(context.port);
    const Identity id = session.identify();
    Progress progress("upload", !context.quiet);
    session.upload(progress);
    ImageDocument image = captureImage();
    image.calibrator = identityJson(id);
    image.calibrator["port"] = session.portName();
    if (out.empty()) {
        if (context.json) {
            std::cout << dumpJson(toJson(image));
        } else {
            printImage(std::cout, image);
        }
        return;
    }
    writeFile(out, dumpJson(toJson(image)));
    if (context.json) {
        std::cout << dumpJson({{"file", out},
                               {"procedureRecords", image.procedure.size()},
                               {"resultRecords", image.results.size()}});
        return;
    }
    std::cout << "Wrote " << out << ": " << image.procedure.size() << " procedure records, "
              << image.results.size() << " result records from the " << id.model << " on "
              << session.portName() << '\n';
}

void clearCommand(const Context& context) {
    Session session(context.port);
    const uint32_t rc = KVTclear();
    if (rc != KVTLNK_OK) {
        throw libraryError(rc, "clearing", "the procedure memory may or may not be empty");
    }
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
        Session session(context.port);
        Progress progress("upload", !context.quiet);
        session.upload(progress);
        source = "the calibrator on " + session.portName();
    }
    MEMdump(directory.c_str());
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
    std::cout << "Wrote the image of " << source << " to " << directory << ": prc.dir and "
              << procedure << " procedure record files, res.dir and " << results
              << " result record files\n";
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
