// kvtlnk history and kvtlnk due: an instrument's events, and what is due, from the archive.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "archive_commands.h"
#include "base/time.h"
#include "base/units.h"
#include "base/words.h"
#include "render/report.h"
#include "table.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

// "0.012 -0.031 -": the errors of the results of one side, in % of span.
std::string errorsText(const Event& e, bool asLeft) {
    std::string text;
    for (const Result& r : e.results) {
        if (r.flagged != asLeft) continue;
        for (const Point& p : r.points)
            text += (text.empty() ? "" : " ") + (std::isnan(p.error) ? "-" : number(p.error, 3));
    }
    return text;
}

void printHistory(std::ostream& out, const std::string& tag, const std::vector<Event>& events) {
    out << fmt::format("{}: {}, oldest first\n", tag, plural(events.size(), "calibration event"));
    Table table({"event", "date", "calibrator", "technician", "", "verdict", "largest %",
                 "error at each point, % of span"},
                "rlllllrl");
    for (const Event& e : events) {
        const std::string serial = e.upload.calibrator.serialNumber;
        for (const bool left : {false, true}) {
            const std::optional<Verdict>& verdict = left ? e.asLeft : e.asFound;
            if (!verdict) continue;
            table.add({left ? "" : std::to_string(e.id), left ? "" : e.date, left ? "" : serial,
                       left ? "" : e.upload.technician, left ? "as left" : "as found",
                       verdictName(*verdict), number(left ? e.asLeftError : e.asFoundError, 3),
                       errorsText(e, left)});
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
    const std::vector<Event> events =
        context.workspace.openArchive(kvtarchive::Access::Read)->history(tag);
    if (events.empty()) {
        throw inputError("the archive " + context.workspace.archiveShown() +
                         " holds no event of \"" + tag +
                         "\" (kvtlnk archive list names the instruments)");
    }
    if (page) {
        page->commit(driftPage(tag, events, localTime()));
        std::cout << fmt::format("Wrote {}: the drift of {} over {}\n", out, tag,
                                 plural(events.size(), "calibration event"));
    } else if (csv) {
        std::cout << historyCsv(events);
    } else if (context.json) {
        std::cout << dumpJson({{"archive", context.workspace.archiveShown()},
                               {"instrument", tag},
                               {"events", historyJson(events)}});
    } else {
        printHistory(std::cout, tag, events);
    }
}

void dueCommand(const Context& context, const std::string& within) {
    const int days = parseInterval("--within", within);
    const int64_t now = today();
    std::vector<Instrument> due = instrumentsOf(
        context.workspace, *context.workspace.openArchive(kvtarchive::Access::Read), now);
    due.erase(std::remove_if(due.begin(), due.end(),
                             [&](const Instrument& i) { return i.daysLeft > days; }),
              due.end());
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a.daysLeft < b.daysLeft; });
    if (context.json) {
        json list = json::array();
        for (const Instrument& i : due) {
            list.push_back({{"tag", i.tag},
                            {"due", i.due},
                            {"daysLeft", i.daysLeft},
                            {"lastEvent", i.lastEvent},
                            {"lastDate", i.lastDate},
                            {"lastVerdict", verdictName(i.lastVerdict)},
                            {"intervalDays", i.intervalDays},
                            {"intervalFrom", intervalSource(i)}});
        }
        std::cout << dumpJson({{"today", dateOfDay(now)}, {"within", days}, {"instruments", list}});
        return;
    }
    std::cout << fmt::format("{} due by {}{}\n", plural(due.size(), "instrument"),
                             dateOfDay(now + days), due.empty() ? "" : ", soonest first");
    Table table({"tag", "due", "", "last event", "date", "verdict", "interval"}, "lllrlll");
    for (const Instrument& i : due) {
        const std::string when = i.daysLeft < 0    ? fmt::format("overdue {} d", -i.daysLeft)
                                 : i.daysLeft == 0 ? "today"
                                                   : fmt::format("in {} d", i.daysLeft);
        table.add({i.tag, i.due, when, std::to_string(i.lastEvent), i.lastDate,
                   verdictName(i.lastVerdict), intervalText(i)});
    }
    if (!table.empty()) table.print(std::cout);
}

}  // namespace kvtcli
