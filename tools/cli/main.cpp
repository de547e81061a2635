// kvtlnk: the K27 process calibrator from the command line, through the library's C API.
#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.h"
#include "failure.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"

using namespace kvtcli;

namespace {

const char* const kFooter = R"(
Exit status: 0 done; 1 the calibrator or the library refused or failed (the message gives the
result code and what to do); 2 bad usage, a file that cannot be read, or a description that is
not valid (one line per problem, naming the field).

Files: a procedure description (JSON; see examples/README.md) says what download sends; an
image file (JSON, written by upload --out) holds both memories record by record and what the
library decoded from them.
)";

int report(const CliError& e, bool json) {
    std::cerr << "kvtlnk: " << e.what() << std::endl;
    if (json) {
        nlohmann::ordered_json error = {{"message", e.what()}, {"exitCode", e.exitCode()}};
        error["resultCode"] = e.resultCode() ? nlohmann::ordered_json(e.resultCode()) : nullptr;
        if (!e.problems().empty()) {
            error["problems"] = nlohmann::ordered_json::array();
            for (const Problem& p : e.problems()) {
                error["problems"].push_back({{"field", p.field}, {"message", p.message}});
            }
        }
        std::cout << dumpJson({{"error", error}});
    }
    return e.exitCode();
}

}  // namespace

int main(int argc, char** argv) {
    Context context;
    char version[4] = {};
    KVTversion(version);

    CLI::App app(
        "kvtlnk: identify a K27 process calibrator, send it procedures, fetch its "
        "memories, and see what the kvtlnk library makes of them. Without --port the "
        "built-in emulator stands in for the instrument.",
        "kvtlnk");
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("kvtlnk library ") + version);
    app.require_subcommand(0, 1);
    app.fallthrough();

    app.add_option("--port", context.port.port,
                   "serial device of the calibrator (/dev/ttyUSB0, COM1), or sim for the "
                   "built-in emulator on a pty")
        ->capture_default_str();
    app.add_option("--timeout", context.port.timeoutMs,
                   "serial read time-out in milliseconds (KVTopen's readTimeoutMs)")
        ->capture_default_str()
        ->check(CLI::Range(1u, 60000u));
    app.add_option("--attempts", context.port.attempts,
                   "tries of every packet exchange (KVTopen's retries)")
        ->capture_default_str()
        ->check(CLI::Range(1, 255));
    app.add_flag("--json", context.json,
                 "machine-readable output on standard output; errors as {\"error\": ...}");
    app.add_flag("-q,--quiet", context.quiet, "no progress display on standard error");
    app.add_option("--sim-model", context.port.simModel, "model text the emulator reports")
        ->capture_default_str()
        ->group("Emulator (--port sim)");
    app.add_option("--sim-firmware", context.port.simFirmware,
                   "firmware version the emulator reports")
        ->capture_default_str()
        ->group("Emulator (--port sim)");
    app.add_flag("--sim-wire-speed", context.port.simWireSpeed,
                 "pace the emulator's replies at 9600 baud, as the instrument's line runs")
        ->group("Emulator (--port sim)");

    app.add_subcommand("identify",
                       "open a session and report the calibrator's model, firmware, "
                       "identification and memory item counts");
    app.add_subcommand("memstats",
                       "report the item counts of both memories and the two totals of the "
                       "calibrator's memory statistics");

    std::string downloadFile;
    CLI::App* download = app.add_subcommand(
        "download",
        "check a procedure description, build it in the library's image and send it: replaces "
        "the calibrator's procedure memory and empties its results memory; nothing is sent "
        "when the file has a problem");
    download->add_option("FILE", downloadFile, "procedure description (JSON)")->required();

    std::string uploadOut;
    CLI::App* upload = app.add_subcommand(
        "upload",
        "fetch both memories of the calibrator and print them as tables, or write "
        "them to an image file");
    upload->add_option("-o,--out", uploadOut, "image file to write (JSON)");

    app.add_subcommand("clear", "empty the calibrator's procedure memory");

    std::string dumpDirectory;
    std::string dumpFrom;
    CLI::App* dump = app.add_subcommand(
        "dump",
        "write the library's dump files into DIR: per memory a listing (prc.dir, "
        "res.dir) and one data file per record (prc0.nd, ...)");
    dump->add_option("DIR", dumpDirectory, "directory, made when missing")->required();
    dump->add_option("--from", dumpFrom,
                     "dump what this procedure description builds instead of uploading");

    std::string showFile;
    CLI::App* show = app.add_subcommand(
        "show",
        "print an image file (from upload --out), or what a procedure description "
        "builds, as tables: each memory's directory, strategies, prompt definitions and "
        "tasks");
    show->add_option("FILE", showFile, "image file or procedure description (JSON)")->required();

    bool confirmed = false;
    CLI::App* demo = app.add_subcommand(
        "demo",
        "start the emulator, build a sample procedure, download it, let the emulator run "
        "it, upload both memories and print what came back");
    demo->add_flag("--yes", confirmed,
                   "with a real calibrator: go ahead although its memories are replaced");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitInput;
    }

    if (app.get_subcommands().empty()) {
        std::cerr << "kvtlnk: name a command: identify, memstats, download, upload, clear, dump, "
                     "show or demo (kvtlnk --help tells more)"
                  << std::endl;
        return kExitInput;
    }
    try {
        if (app.got_subcommand("identify")) identifyCommand(context);
        if (app.got_subcommand("memstats")) memstatsCommand(context);
        if (download->parsed()) downloadCommand(context, downloadFile);
        if (upload->parsed()) uploadCommand(context, uploadOut);
        if (app.got_subcommand("clear")) clearCommand(context);
        if (dump->parsed()) dumpCommand(context, dumpDirectory, dumpFrom);
        if (show->parsed()) showCommand(context, showFile);
        if (demo->parsed()) demoCommand(context, confirmed);
    } catch (const CliError& e) {
        return report(e, context.json);
    } catch (const std::exception& e) {
        return report(CliError(kExitCalibrator, e.what()), context.json);
    }
    return kExitOk;
}
