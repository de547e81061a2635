// kvtlnk results and kvtlnk report: the calibration results of an image file, or of the
// calibrator after an upload, as tables, JSON, CSV or an HTML report.
#include <fmt/format.h>

#include <iostream>
#include <optional>

#include "base/time.h"
#include "base/words.h"
#include "commands.h"
#include "failure.h"
#include "render/report.h"
#include "show.h"
#include "table.h"
#include "workspace/certificates.h"

namespace kvtcli {
namespace {

using namespace kvtapp;

// The image of the file, or of the calibrator when there is none; origin names which.
ImageDocument resultsImage(const Context& context, const std::string& file, std::string& origin) {
    if (!file.empty()) {
        origin = file;
        return imageOfFile(context, file);
    }
    const PortOptions port = calibratorPort(context);
    Progress progress("upload", !context.quiet);
    announce(progress, port);
    Connection connection(port);
    Session& session = connection.session();
    session.upload(progress);
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    origin = "the calibrator on " + session.portName();
    return image;
}

}  // namespace

void resultsCommand(const Context& context, const std::string& file, bool csv, bool check) {
    if (csv && context.json) throw inputError("results: choose --json or --csv, not both");
    std::string origin;
    const ImageDocument image = resultsImage(context, file, origin);
    std::vector<Result> results = image.calibrations;
    judgeResults(context.workspace, calibratorOf(image.calibrator), results);
    if (csv) {
        std::cout << resultsCsv(results);
    } else if (context.json) {
        std::cout << dumpJson({{"source", origin},
                               {"calibrator", image.calibrator},
                               {"decisionRule", kvtlab::ruleName(context.workspace.lab().rule)},
                               {"minimumTur", context.workspace.lab().minimumTur},
                               {"verdict", verdictName(overallVerdict(results))},
                               {"results", toJson(results)}});
    } else {
        const kvtlab::Lab& lab = context.workspace.lab();
        std::cout << fmt::format("{} of {}: {} by {}\n",
                                 plural(results.size(), "calibration result"), visibleText(origin),
                                 verdictName(overallVerdict(results)), kvtlab::ruleName(lab.rule));
        printResults(std::cout, results, lab.minimumTur);
    }
    if (!check) return;
    const auto count = [&](const auto& holds) {
        return std::count_if(results.begin(), results.end(), holds);
    };
    const auto failed = count([](const Result& r) { return r.verdict == Verdict::Fail; });
    const auto undecoded = count([](const Result& r) { return !r.problem.empty(); });
    std::string what = origin + " holds no calibration result";
    if (!results.empty()) {
        if (failed + undecoded == 0) return;
        what = fmt::format("{} of {} failed", failed, plural(results.size(), "result"));
        if (undecoded > 0) what += fmt::format(", {} did not decode", undecoded);
    }
    throw CliError(kExitCalibrator, "results --check: " + what).answered();
}

void reportCommand(const Context& context, const std::string& file, const std::string& out) {
    std::optional<OutputFile> output;
    if (!out.empty()) output.emplace(out, context.workspace);
    ReportSource source;
    const ImageDocument image = resultsImage(context, file, source.origin);
    requireResults(image, source.origin, "report", out);
    source = reportSource(image, source.origin);
    const std::string html = reportHtml(image.calibrations, source);
    const Verdict verdict = overallVerdict(image.calibrations);
    if (!output) {
        std::cout << html;
        return;
    }
    output->commit(html);
    if (context.json) {
        std::cout << dumpJson({{"file", out},
                               {"results", image.calibrations.size()},
                               {"verdict", verdictName(verdict)}});
        return;
    }
    std::cout << fmt::format("Wrote {}: the calibration report of {} from {}: {}\n", out,
                             plural(image.calibrations.size(), "result"),
                             visibleText(source.origin), verdictName(verdict));
}

}  // namespace kvtcli
