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
#include "lab_commands.h"
#include "ports.h"
#include "show.h"
#include "sim_commands.h"
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

std::string libraryVersion() {
    char version[KVTLNK_VERSION_SIZE] = {};
    KVTversion(version);
    return version;
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

json identityJson(const Identity& id) {
    return {{"model", id.model},
            {"firmware", id.firmware},
            {"serialNumber", id.serialNumber},
            {"memoryCapacity", id.memoryCapacity},
            {"procedureItems", id.procedureItems},
            {"resultItems", id.resultItems}};
}

json calibratorJson(Session& session) {
    json calibrator = identityJson(session.identity());
    calibrator["port"] = session.portName();
    calibrator["uploaded"] = localTime();
    return calibrator;
}

LabSource labSource(const Context& context) {
    return [&context] { return &labOf(context); };
}

PortOptions calibratorPort(const Context& context) {
    PortOptions options = context.port;
    options.port = choosePort(options.port, [&context] { return labPort(context); });
    return options;
}

void announce(Progress& progress, const PortOptions& port) {
    progress.phase("identifying the calibrator on " + port.port);
}

// An image file's records reach the library as an application's would: uploaded from a
// calibrator, here the emulator holding them.
ImageDocument imageOfFile(const Context& context, const std::string& file) {
    const json value = readJsonFile(file);
    if (isImageJson(value)) {
        const ImageFile image = readImageFile(file, value);
        return imageOfMemories(context, image.memories, image.calibrator);
    }
    buildImage(checkedProcedure(file, value, labSource(context)));
    return captureImage();
}

ImageDocument imageOfMemories(const Context& context, const kvttools::MemoryFile& memories,
                              const json& calibrator) {
    PortOptions sim;  // the emulator as it comes, with the user's time-outs
    sim.port = "sim";
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
    Session session(calibratorPort(context));
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
                 {"serial number", id.serialNumber},
                 {"memory capacity", grouped(id.memoryCapacity) + " bytes in each memory"},
                 {"procedure items", std::to_string(id.procedureItems)},
                 {"result items", std::to_string(id.resultItems)},
                 {"library", libraryVersion()}});
}

void memstatsCommand(const Context& context) {
    Session session(calibratorPort(context));
    const Identity& id = session.identity();
    uint32_t used = 0;
    uint32_t free = 0;
    const uint32_t rc = KVTmemstats(&used, &free);
    if (rc != KVTLNK_OK) throw libraryError(rc, "reading memory statistics");
    if (context.json) {
        std::cout << dumpJson({{"port", session.portName()},
                               {"procedureItems", id.procedureItems},
                               {"resultItems", id.resultItems},
                               {"memoryCapacity", id.memoryCapacity},
                               {"used", used},
                               {"free", free}});
        return;
    }
    printFields("Memory of the calibrator on " + session.portName(),
                {{"procedure items", std::to_string(id.procedureItems)},
                 {"result items", std::to_string(id.resultItems)},
                 {"memory capacity", grouped(id.memoryCapacity) + " bytes in each memory"},
                 {"used", grouped(used) + " bytes in both memories"},
                 {"free", grouped(free) + " bytes in both memories"}});
}

void uploadCommand(const Context& context, const std::string& out, bool store) {
    std::optional<OutputFile> file;
    if (!out.empty()) file.emplace(out);
    const PortOptions port = calibratorPort(context);
    Progress progress("upload", !context.quiet);
    announce(progress, port);
    Session session(port);
    const std::string model = session.identity().model;
    session.upload(progress, file ? out + " was not written" : "");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    if (session.simulator() && image.results.empty()) std::cerr << emptyEmulatorNote() << "\n";
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
        buildImage(loadProcedure(from, labSource(context)));
    } else {
        const PortOptions port = calibratorPort(context);
        Progress progress("upload", !context.quiet);
        announce(progress, port);
        Session session(port);
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
