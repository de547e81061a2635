// kvtlnk demo: a sample procedure sent to the calibrator, run, and fetched back.
#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <iostream>

#include "base/words.h"
#include "commands.h"
#include "failure.h"
#include "procedure/build.h"
#include "render/report.h"
#include "sample_procedure.h"
#include "show.h"
#include "simulator.h"
#include "table.h"

namespace kvtcli {
namespace {

using namespace kvtapp;

using json = nlohmann::ordered_json;

class Narrator {
  public:
    explicit Narrator(bool silent) : silent_(silent) {}
    void step(const std::string& text) {
        if (!silent_) std::cout << ++count_ << ". " << text << std::endl;
    }
    void line(const std::string& text) {
        if (!silent_) std::cout << "   " << text << std::endl;
    }

  private:
    bool silent_;
    int count_ = 0;
};

}  // namespace

void demoCommand(const Context& context, bool confirmed, const std::string& report) {
    if (context.port.port != "sim" && !confirmed) {
        throw inputError("the demo replaces the procedure memory of the calibrator on " +
                         context.port.port +
                         " and empties its results memory: add --yes to go ahead");
    }
    OutputFile reportFile(report, context.workspace);
    const auto started = std::chrono::steady_clock::now();
    Narrator say(context.json);
    if (!context.json) {
        std::cout << "kvtlnk demo: the library at work"
                  << (context.port.port == "sim" && !context.port.simWireSpeed
                          ? " against its built-in K27 emulator (--sim-wire-speed runs the line "
                            "at the instrument's 9600 baud)"
                          : "")
                  << "\n\n";
    }

    std::vector<Problem> problems;
    const Procedure sample = parseProcedure(kSampleProcedure, problems);
    if (!problems.empty()) {
        throw CliError(kExitCalibrator,
                       "the built-in sample procedure is not valid: " + problems.front().field +
                           ": " + problems.front().message);
    }
    const std::vector<uint32_t> sizes = buildImage(sample);
    const ImageDocument sent = captureImage();
    say.step("Built the sample procedure " + std::string(kSampleProcedureName) +
             " in the library's image: its setups with the STA calls and STAsave, the rest with "
             "the MEM calls");
    say.line(fmt::format("{} besides the 9 standard ones, {}, {}, {}: {}",
                         plural(sample.strategies.size(), "strategy", "strategies"),
                         plural(sample.prompts.size(), "prompt definition"),
                         plural(sample.setups.size(), "setup"), plural(sample.tasks.size(), "task"),
                         plural(sent.procedure.size(), "record")));

    // The demo's emulator is its own: one that kvtlnk sim start runs keeps its memories.
    PortOptions port = context.port;
    port.simResident = false;
    Connection connection(port);
    Session& session = connection.session();
    const Calibrator& id = session.identity();
    say.step("Opened " + session.portName() + ": " + id.model + ", firmware " + id.firmware);

    say.step("Downloading " + plural(sent.procedure.size(), "item") +
             ": KVTdnlStart, then one KVTdnlStep per item");
    Progress download("download", !context.quiet);
    const uint32_t sentItems = session.download(download, sizes);

    if (Simulator* simulator = connection.simulator()) {
        const int tests = simulator->runProcedures();
        say.step("The emulator ran the tasks, as the instrument's user would in the field: " +
                 plural(static_cast<size_t>(tests), "test") + " performed");
    } else {
        say.step("A real calibrator runs the tasks when its user does; going on to the upload");
    }

    say.step("Uploading both memories: KVTuplStart, then one KVTuplStep per item");
    Progress upload("upload", !context.quiet);
    const uint32_t backItems = session.upload(upload);
    ImageDocument back = captureImage();
    back.calibrator = calibratorJson(session);
    say.step("What came back, decoded by the library's reading calls:");

    const std::vector<Result> results = std::move(back.calibrations);
    back.calibrations.clear();  // printed last
    reportFile.commit(
        reportHtml(results, reportSource(back, "the calibrator on " + session.portName())));
    const std::string reportPath = std::filesystem::absolute(report).string();

    const std::vector<std::string> differences = procedureDifferences(sent, back);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (context.json) {
        std::cout << dumpJson({{"sample", kSampleProcedureName},
                               {"port", session.portName()},
                               {"downloaded", sentItems},
                               {"uploaded", backItems},
                               {"roundTrip",
                                {{"records", sent.procedure.size()},
                                 {"same", differences.empty()},
                                 {"differences", differences}}},
                               {"seconds", seconds},
                               {"image", toJson(back)},
                               {"results", toJson(results)},
                               {"verdict", verdictName(overallVerdict(results))},
                               {"report", reportPath}});
    } else {
        std::cout << '\n';
        printImage(std::cout, back);
        std::cout << '\n';
    }
    if (!differences.empty()) {
        throw CliError(kExitCalibrator, "round trip: " + differences.front() +
                                            (differences.size() > 1 ? " and more" : ""));
    }
    if (context.json) return;
    std::cout << "Round trip: all " << sent.procedure.size()
              << " procedure records came back with the same kind, version and data.\n";
    std::cout << fmt::format("Results memory: {}, {}: {}\n", plural(back.results.size(), "record"),
                             plural(results.size(), "calibration result"),
                             verdictName(overallVerdict(results)));
    printResults(std::cout, results);
    std::cout << fmt::format("\nWrote the calibration report to {}\nDone in {:.1f} s.\n",
                             reportPath, seconds);
}

}  // namespace kvtcli
