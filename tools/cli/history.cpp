// kvtlnk history and kvtlnk due: an instrument's calibrations, and what is due, from the
// archive.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "archive_commands.h"
#include "base/time.h"
#include "base/units.h"
#include "base/words.h"
#include "render/report.h"
#include "standards_commands.h"
#include "table.h"
#include "workspace/certificates.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

// "0.012 -0.031 -": the errors of a result, in % of span.
std::string errorsText(const Result& r) {
    std::string text;
    for (const Point& p : r.points)
        text += (text.empty() ? "" : " ") + (std::isnan(p.error) ? "-" : number(p.error, 3));
    return text;
}

std::string calibratorsOf(const Calibration& c) {
    std::string text;
    for (const Upload& u : c.uploads) {
        if (text.find(u.calibrator.serialNumber) == std::string::npos)
            text += (text.empty() ? "" : ", ") + u.calibrator.serialNumber;
    }
    return text;
}

std::string techniciansOf(const Calibration& c) {
    std::string text;
    for (const Upload& u : c.uploads) {
        if (!u.technician.empty() && text.find(u.technician) == std::string::npos)
            text += (text.empty() ? "" : ", ") + u.technician;
    }
    return text;
}

void printHistory(std::ostream& out, const std::string& tag,
                  const std::vector<Calibration>& calibrations, const kvtlab::Lab& lab) {
    out << fmt::format("{}: {}, oldest first; verdicts by {}\n", tag,
                       plural(calibrations.size(), "calibration"), kvtlab::ruleName(lab.rule));
    Table table({"calibration", "date", "calibrator", "technician", "result", "verdict",
                 "largest %", "error at each point, % of span"},
                "rlllllrl");
    for (const Calibration& c : calibrations) {
        const std::string note = dateNote(c);
        bool first = true;
        for (const Result& r : c.results) {
            size_t low = 0;
            for (const Point& p : r.points)
                low += lowTur(p, lab.minimumTur);
            std::string verdict = verdictName(r.verdict);
            if (low) verdict += fmt::format(" (TUR < {} at {})", number(lab.minimumTur), low);
            table.add({first ? std::to_string(c.id) : "",
                       first ? c.date + (note.empty() ? "" : " (" + note + ")") : "",
                       first ? calibratorsOf(c) : "", first ? techniciansOf(c) : "", r.label,
                       verdict, number(largestError(r), 3), errorsText(r)});
            first = false;
        }
    }
    if (!table.empty()) table.print(out);
}

}  // namespace

void historyCommand(const Context& context, const std::string& tag, bool csv,
                    const std::string& out) {
    if (int(csv) + int(context.json) + int(!out.empty()) > 1) {
        throw inputError("history: choose one of --json, --csv and --out");
    }
    std::optional<OutputFile> page;
    if (!out.empty()) page.emplace(out, context.workspace);
    auto archive = context.workspace.openArchive(kvtarchive::Access::Read);
    std::vector<Calibration> calibrations = archive->history(tag);
    if (calibrations.empty()) {
        throw inputError("the archive " + context.workspace.archiveShown() +
                         " holds no calibration of \"" + tag +
                         "\" (kvtlnk archive list names the instruments)");
    }
    for (Calibration& c : calibrations)
        judgeByLab(context.workspace, *archive, c);
    if (page) {
        page->commit(driftPage(tag, calibrations, localTime()));
        std::cout << fmt::format("Wrote {}: the drift of {} over {}\n", out, tag,
                                 plural(calibrations.size(), "calibration"));
    } else if (csv) {
        std::cout << historyCsv(calibrations);
    } else if (context.json) {
        std::cout << dumpJson({{"archive", context.workspace.archiveShown()},
                               {"instrument", tag},
                               {"decisionRule", kvtlab::ruleName(context.workspace.lab().rule)},
                               {"calibrations", historyJson(calibrations)}});
    } else {
        printHistory(std::cout, tag, calibrations, context.workspace.lab());
    }
}

void dueCommand(const Context& context, const std::string& within, bool advise) {
    if (advise) return adviseCommand(context);
    const int days = parseInterval("--within", within);
    const int64_t now = today();
    std::vector<Instrument> due = instrumentsOf(
        context.workspace, *context.workspace.openArchive(kvtarchive::Access::Read), now);
    // An instrument with a calibration whose date is not believed is listed: it needs a
    // person before its due date can be trusted.
    due.erase(std::remove_if(due.begin(), due.end(),
                             [&](const Instrument& i) {
                                 return i.undated == 0 && (i.due.empty() || i.daysLeft > days);
                             }),
              due.end());
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a.due.empty() != b.due.empty() ? a.due.empty() : a.daysLeft < b.daysLeft;
    });
    if (context.json) {
        json list = json::array();
        for (const Instrument& i : due) {
            list.push_back(
                {{"tag", i.tag},
                 {"untagged", i.untagged},
                 {"due", i.due.empty() ? json(nullptr) : json(i.due)},
                 {"daysLeft", i.due.empty() ? json(nullptr) : json(i.daysLeft)},
                 {"lastCalibration", i.lastCalibration ? json(i.lastCalibration) : json(nullptr)},
                 {"lastDay", i.lastDay},
                 {"lastVerdict", verdictName(i.lastVerdict)},
                 {"undated", i.undated},
                 {"intervalDays", i.intervalDays},
                 {"intervalFrom", intervalSource(i)}});
        }
        std::cout << dumpJson(
            {{"today", dateOfDay(now)},
             {"within", days},
             {"instruments", list},
             {"standardsDue", standardsDueJson(context.workspace.lab(), dateOfDay(now))}});
        return;
    }
    std::cout << fmt::format("{} due by {}{}\n", plural(due.size(), "instrument"),
                             dateOfDay(now + days), due.empty() ? "" : ", soonest first");
    Table table({"tag", "due", "", "last", "date", "verdict", "interval", ""}, "lllrllll");
    for (const Instrument& i : due) {
        const std::string when = i.due.empty()     ? "unknown"
                                 : i.daysLeft < 0  ? fmt::format("overdue {} d", -i.daysLeft)
                                 : i.daysLeft == 0 ? "today"
                                                   : fmt::format("in {} d", i.daysLeft);
        std::string note = i.untagged ? "untagged" : "";
        if (i.undated) {
            note += (note.empty() ? "" : "; ") + plural(size_t(i.undated), "calibration") +
                    " with calibrator clock suspect or date impossible: confirm its date "
                    "(kvtlnk archive list)";
        }
        table.add({i.tag, i.due.empty() ? "-" : i.due, when,
                   i.lastCalibration ? std::to_string(i.lastCalibration) : "-", i.lastDay,
                   i.lastCalibration ? verdictName(i.lastVerdict) : "", intervalText(i), note});
    }
    if (!table.empty()) table.print(std::cout);
    printStandardsDue(std::cout, context.workspace.lab(), dateOfDay(now));
}

}  // namespace kvtcli
