// kvtlnk: the K27 process calibrator from the command line, through the library's C API.
#include <fmt/format.h>
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "archive/archive.h"
#include "archive_commands.h"
#include "arguments.h"
#include "commands.h"
#include "failure.h"
#include "interrupt.h"
#include "kvtlnk/kvtlnk.h"
#include "lab_commands.h"
#include "ports.h"
#include "serve_commands.h"
#include "sim_commands.h"
#include "standards_commands.h"
#include "table.h"

using namespace kvtcli;
using kvtapp::Problem;

namespace {

const char* const kFooter = R"(
Exit status: 0 done; 1 the calibrator or the library refused or failed (the message gives the
result code and what to do), or results --check found a result that fails; 2 bad usage, a file
that cannot be read or written, a description that is not valid (one line per problem, naming
the field), results that download or clear would lose, or a records archive that cannot be
read or written; 130 stopped by Ctrl-C (143 by SIGTERM), with what state the calibrator is left
in.

The calibrator's port: --port, else the environment's KVTLNK_PORT, else the lab file's default
port; --port sim uses the emulator of kvtlnk sim start, else a new built-in one for the command.

Files written: every file a command writes is new. One that stands under its name is refused
before any work, unless --force replaces it (a --backup never replaces a file; a folder given
to --backup gets a new name). A file appears whole at the end, or not at all.

Files: a procedure description (JSON) says what download sends; an image file (JSON, written
by upload --out and --backup) holds both memories record by record, what the library decoded
from them, and who uploaded them on which bench. Both are described in
  {}
The records archive (an SQLite file, or a PostgreSQL database for a lab) keeps every result
that upload --store and archive add give it, for history and due.
)";

// Where the procedure-file reference is: installed under the documentation directory beside
// the program, with the sample procedure; or, in a build tree, in the sources.
std::string procedureReference() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path doc = program.parent_path() / KVTLNK_DOC_FROM_BIN;
    if (!error && std::filesystem::exists(doc / "procedure-files.md")) {
        return (doc / "procedure-files.md").lexically_normal().string() +
               "\nwith a sample procedure beside it, procedure.json.";
    }
    return "examples/README.md of the kvtlnk sources, with a sample procedure, procedure.json.";
}

int report(const CliError& e, bool json) {
    // The message may quote a file's text or name: its controls are shown, its lines kept.
    std::cerr << "kvtlnk: " << visibleText(e.what(), true) << std::endl;
    if (json && !e.wasAnswered()) {
        nlohmann::ordered_json error = {{"message", e.what()}, {"exitCode", e.exitCode()}};
        error["resultCode"] = e.resultCode() ? nlohmann::ordered_json(e.resultCode()) : nullptr;
        if (!e.problems().empty()) {
            error["problems"] = nlohmann::ordered_json::array();
            for (const Problem& p : e.problems()) {
                error["problems"].push_back({{"field", p.field}, {"message", p.message}});
            }
        }
        std::cout << kvtapp::dumpJson({{"error", error}});
    }
    return e.exitCode();
}

// The options of download and clear about results still in the calibrator.
void addResultsPolicy(CLI::App* command, ResultsPolicy& policy) {
    command
        ->add_option("--backup", policy.backup,
                     "when the calibrator holds results, first upload both memories into this "
                     "image file (checked as written before anything is sent)")
        ->type_name("FILE");
    command->add_flag("--discard-results", policy.discard,
                      "go on although the calibrator holds results that are not saved");
}

}  // namespace

int main(int argc, char** argv) {
    watchInterrupts();
    Context context;
    context.workspace.settings.command = commandLine(argc, argv);
    char version[KVTLNK_VERSION_SIZE] = {};
    KVTversion(version);

    CLI::App app(
        "kvtlnk: identify a K27 process calibrator, send it procedures, fetch its "
        "memories, and see what the kvtlnk library makes of them. --port sim runs the "
        "built-in emulator in place of an instrument.",
        "kvtlnk");
    app.footer(fmt::format(fmt::runtime(kFooter), procedureReference()));
    app.set_version_flag("--version", std::string("kvtlnk " KVTLNK_VERSION ", library ") + version);
    app.require_subcommand(1, 1);
    app.fallthrough();

    app.add_option("--port", context.port.port,
                   "serial device of the calibrator (/dev/ttyUSB0, COM1), or sim for the "
                   "built-in emulator on a pty; without it KVTLNK_PORT, else the lab file's "
                   "default port. kvtlnk ports lists the serial ports")
        ->check([](const std::string& v) { return v.empty() ? "the port name is empty" : ""; });
    app.add_option("--timeout", context.port.link.timeoutMs,
                   "serial read time-out in milliseconds (KVTopen's readTimeoutMs); 0, which the "
                   "library takes as no time-out, would hold a command for as long as the "
                   "calibrator is off, so the tool wants 1 or more")
        ->capture_default_str()
        ->check(wholeIn(1, 60000));
    app.add_option("--attempts", context.port.link.attempts,
                   "tries of every packet exchange (KVTopen's retries)")
        ->capture_default_str()
        ->check(wholeIn(1, 255));
    app.add_flag("--json", context.json,
                 "machine-readable output on standard output; errors as {\"error\": ...}");
    app.add_flag("-q,--quiet", context.quiet, "no progress display on standard error");
    context.workspace.settings.outputs.howToReplace = "add --force";
    app.add_flag("--force", context.workspace.settings.outputs.replace,
                 "replace a file that stands where a command writes one (--out, --image, the "
                 "certificates, dump's files); without it such a file is refused before any "
                 "work. A --backup never replaces a file");
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose,
                 "trace every exchange with the calibrator on standard error (as KVTLNK_DEBUG=2 "
                 "does for any program)");
    const char* simGroup = "Emulator (--port sim)";
    std::vector<CLI::Option*> simOptions = {
        app.add_option("--sim-model", context.port.simModel, "model text the emulator reports")
            ->capture_default_str(),
        app.add_option("--sim-firmware", context.port.simFirmware,
                       "firmware version the emulator reports")
            ->capture_default_str(),
        app.add_flag("--sim-wire-speed", context.port.simWireSpeed,
                     "pace the emulator's replies at 9600 baud, as the instrument's line runs")};
    for (CLI::Option* option : simOptions)
        option->group(simGroup);
    CLI::App* demo = nullptr;
    app.parse_complete_callback([&] {
        // The demo runs against the emulator unless it is given a port.
        if (context.port.port.empty() && demo->parsed()) context.port.port = "sim";
        for (const CLI::Option* option : simOptions) {
            if (option->count() == 0 || context.port.port == "sim") continue;
            throw CLI::ValidationError(
                option->get_name(),
                context.port.port.empty()
                    ? "is for the built-in emulator: add --port sim"
                    : "is for the built-in emulator, not --port " + context.port.port);
        }
        if (verbose) setenv("KVTLNK_DEBUG", "2", 1);
    });

    app.add_subcommand("identify",
                       "open a session and report the calibrator's model, firmware, "
                       "identification and memory item counts")
        ->callback([&] { identifyCommand(context); });
    app.add_subcommand("memstats",
                       "report the item counts of both memories and the two totals of the "
                       "calibrator's memory statistics")
        ->callback([&] { memstatsCommand(context); });

    std::string downloadFile;
    ResultsPolicy downloadPolicy;
    bool sendEmpty = false;
    CLI::App* download = app.add_subcommand(
        "download",
        "check a procedure description, build it in the library's image and send it: replaces "
        "the calibrator's procedure memory and empties its results memory (refused while it "
        "holds results, unless --backup or --discard-results); nothing is sent when the file "
        "has a problem");
    download->add_option("FILE", downloadFile, "procedure description (JSON)")->required();
    addResultsPolicy(download, downloadPolicy);
    download->add_flag("--yes", sendEmpty, "send a description that defines nothing");
    download->callback([&] { downloadCommand(context, downloadFile, downloadPolicy, sendEmpty); });

    std::string uploadOut;
    CLI::App* upload = app.add_subcommand(
        "upload",
        "fetch both memories of the calibrator and print them as tables, or write "
        "them to an image file");
    upload
        ->add_option("-o,--out", uploadOut,
                     "image file to write (JSON); checked before the transfer, written whole "
                     "at its end")
        ->type_name("FILE");
    bool store = false;
    upload->add_flag("--store", store,
                     "add the results to the records archive (--archive, or the default one)");
    upload->callback([&] {
        uploadCommand(context, uploadOut, store || !context.workspace.settings.archive.empty());
    });

    ResultsPolicy clearPolicy;
    CLI::App* clear = app.add_subcommand(
        "clear",
        "empty the calibrator's procedure memory (refused while it holds results, unless "
        "--backup or --discard-results)");
    addResultsPolicy(clear, clearPolicy);
    clear->callback([&] { clearCommand(context, clearPolicy); });

    std::string dumpDirectory;
    std::string dumpFrom;
    CLI::App* dump = app.add_subcommand(
        "dump",
        "write the library's dump files into DIR: per memory a listing (prc.dir, "
        "res.dir) and one data file per record (prc0.nd, ...)");
    dump->add_option("DIR", dumpDirectory, "directory, made when missing")->required();
    dump->add_option("--from", dumpFrom,
                     "dump what this procedure description builds instead of uploading")
        ->type_name("FILE");
    dump->callback([&] { dumpCommand(context, dumpDirectory, dumpFrom); });

    std::string showFile;
    CLI::App* show = app.add_subcommand(
        "show",
        "print an image file (from upload --out), or what a procedure description "
        "builds, as tables: each memory's directory, strategies, prompt definitions and "
        "tasks");
    show->add_option("FILE", showFile, "image file or procedure description (JSON)")->required();
    show->callback([&] { showCommand(context, showFile); });

    std::string resultsFile;
    bool csv = false;
    CLI::App* results = app.add_subcommand(
        "results",
        "print the calibration results of an image file (or, without one, of the calibrator "
        "after an upload): tag texts, task, strategy, the setup and every test point with its "
        "error and verdict");
    results->add_option("FILE", resultsFile, "image file (from upload --out)");
    results->add_flag("--csv", csv, "one row per test point after a header row, for a spreadsheet");
    bool check = false;
    results->add_flag("--check", check,
                      "exit with status 1 when a result fails, does not decode, or there is none");
    results->callback([&] { resultsCommand(context, resultsFile, csv, check); });

    std::string reportFile;
    std::string reportOut;
    CLI::App* reportApp = app.add_subcommand(
        "report",
        "write the calibration report of an image file (or, without one, of the calibrator "
        "after an upload): one HTML page, a section per result with its test points, error "
        "plot and verdict");
    reportApp->add_option("FILE", reportFile, "image file (from upload --out)");
    reportApp
        ->add_option("-o,--out", reportOut,
                     "HTML file to write, whole or not at all (standard output without it)")
        ->type_name("FILE");
    reportApp->callback([&] { reportCommand(context, reportFile, reportOut); });

    bool confirmed = false;
    std::string demoReport = "demo-report.html";
    demo = app.add_subcommand(
        "demo",
        "start the emulator, build the example procedures, download them, let the emulator "
        "run their tests, upload both memories, print the results and write a calibration "
        "report");
    demo->add_flag("--yes", confirmed,
                   "with a real calibrator: go ahead although its memories are replaced");
    demo->add_option("-o,--out", demoReport, "the calibration report to write")
        ->capture_default_str()
        ->type_name("FILE");
    demo->callback([&] { demoCommand(context, confirmed, demoReport); });

    app.add_subcommand(
           "ports",
           "list the serial ports of this machine, with the USB adapter's vendor, "
           "product and serial number, the adapter's latency timer, and whether you may open "
           "each")
        ->callback([&] { portsCommand(context); });

    addArchiveCommands(app, context);
    addCertificateCommand(app, context);
    addLabCommands(app, context);
    addStandardsCommands(app, context);
    addSimCommands(app, context);
    addServeCommands(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
        // The flag counts before the parse is through, so look for it among the words.
        const bool json = std::any_of(argv + 1, argv + argc,
                                      [](const char* a) { return std::strcmp(a, "--json") == 0; });
        std::string message = e.what();
        if (dynamic_cast<const CLI::RequiredError*>(&e) && app.get_subcommands().empty()) {
            message =
                (app.remaining().empty() ? "name a command"
                                         : "unknown command \"" + app.remaining()[0] + "\"") +
                ": identify, memstats, download, upload, clear, dump, show, results, "
                "report, demo, ports, archive, history, due, certificate, standards, lab, sim or "
                "serve";
        }
        return report(CliError(kExitInput, message + " (kvtlnk --help tells more)"), json);
    } catch (const CliError& e) {
        return report(e, context.json);
    } catch (const kvtapp::Error& e) {
        return report(CliError(e), context.json);
    } catch (const kvtarchive::ArchiveError& e) {
        return report(CliError(kExitInput, e.what()), context.json);
    } catch (const std::exception& e) {
        return report(CliError(kExitCalibrator, e.what()), context.json);
    }
    return kExitOk;
}
