#include "commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>

#include "archive_commands.h"
#include "base/time.h"
#include "base/words.h"
#include "calibrator/ports.h"
#include "failure.h"
#include "interrupt.h"
#include "kvtlnk/kvtlnk.h"
#include "procedure/build.h"
#include "show.h"
#include "sim_commands.h"
#include "simulator.h"
#include "table.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
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

// The first by name of the files of an earlier dump that the directory holds (a listing, prc.dir or
// res.dir, or a data file, prc0.nd, res12.nd, ...), which a dump there would replace; "" for none.
std::string earlierDumpFile(const std::string& directory) {
    static const std::regex dumpName(R"((prc|res)(\.dir|[0-9]+\.nd))");
    std::error_code unseen;
    std::string first;
    for (const auto& entry : std::filesystem::directory_iterator(directory, unseen)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(unseen) && std::regex_match(name, dumpName) &&
            (first.empty() || name < first)) {
            first = name;
        }
    }
    return first;
}

std::string libraryVersion() {
    char version[KVTLNK_VERSION_SIZE] = {};
    KVTversion(version);
    return version;
}

}  // namespace

Connection::Connection(const PortOptions& options) {
    std::string path = options.port;
    const bool emulated = options.port == "sim";
    if (emulated) {
        path = options.simResident ? residentEmulatorPort() : "";
        if (path.empty()) {
            simulator_ = std::make_unique<Simulator>(options);
            path = simulator_->portPath();
        }
    }
    session_ = std::make_unique<Session>(path, options.link, interruptWatch(), emulated);
}

Connection::~Connection() = default;

ReportSource reportSource(const ImageDocument& image, const std::string& origin) {
    ReportSource source;
    if (image.calibrator.is_object()) {
        source.calibrator = calibratorOf(image.calibrator);
        source.uploaded = calibratorText(image.calibrator, "uploaded");
    }
    source.origin = origin;
    source.written = localTime();
    source.writer = "kvtlnk " KVTLNK_VERSION ", library " + libraryVersion();
    return source;
}

json calibratorJson(Session& session) {
    return kvtapp::calibratorJson(session.identity(), session.portName(), localTime());
}

PortOptions calibratorPort(const Context& context) {
    PortOptions options = context.port;
    options.port = choosePort(options.port, [&context] { return context.workspace.lab().port; });
    return options;
}

void announce(Progress& progress, const PortOptions& port) {
    progress.phase("identifying the calibrator on " + port.port);
}

ImageDocument imageOfFile(const Context& context, const std::string& file) {
    return kvtapp::imageOfFile(context.workspace, file);
}

void requireResults(const ImageDocument& image, const std::string& origin,
                    const std::string& document, const std::string& out) {
    if (!image.calibrations.empty()) return;
    throw inputError(origin + " holds no calibration result, so there is no " + document +
                     " to write" + (out.empty() ? "" : " (" + out + " was not written)"));
}

void identifyCommand(const Context& context) {
    Connection connection(calibratorPort(context));
    Session& session = connection.session();
    const Calibrator& id = session.identity();
    if (context.json) {
        json out = toJson(id);
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
    Connection connection(calibratorPort(context));
    Session& session = connection.session();
    const Calibrator& id = session.identity();
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
    if (!out.empty()) file.emplace(out, context.workspace);
    const PortOptions port = calibratorPort(context);
    Progress progress("upload", !context.quiet);
    announce(progress, port);
    Connection connection(port);
    Session& session = connection.session();
    const std::string model = session.identity().model;
    session.upload(progress, file ? out + " was not written" : "");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    image.upload = uploadJson(context.workspace);
    if (connection.simulator() && image.results.empty()) std::cerr << emptyEmulatorNote() << "\n";
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
    const OutputRules rules = context.workspace.outputRules();
    const std::string earlier = rules.replace ? "" : earlierDumpFile(directory);
    if (!earlier.empty()) {
        throw inputError(
            directory + " holds the files of an earlier dump (" + earlier +
            "): name another directory" +
            (rules.howToReplace.empty() ? "" : ", or " + rules.howToReplace + " to replace them"));
    }
    std::string source = from;
    if (!from.empty()) {
        buildImage(loadProcedure(from, labSource(context.workspace)));
    } else {
        const PortOptions port = calibratorPort(context);
        Progress progress("upload", !context.quiet);
        announce(progress, port);
        Connection connection(port);
        connection.session().upload(progress, "nothing was written to " + directory);
        source = "the calibrator on " + connection.session().portName();
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
