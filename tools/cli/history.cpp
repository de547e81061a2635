// kvtlnk history and kvtlnk due: an instrument's events, and what is due, from the archive.
#include "history.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "archive_commands.h"
#include "store.h"
#include "error.h"
#include "json_file.h"
#include "table.h"
#include "units.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

json sideJson(const std::string& verdict, double largest) {
    if (verdict.empty()) return nullptr;
    return {{"verdict", verdict}, {"largestError", numberJson(largest)}};
}

json resultJson(const kvtarchive::Result& r) {
    json errors = json::array();
    for (const kvtarchive::Point& p : r.points)
        errors.push_back(numberJson(p.error));
    json decoded = json::parse(r.decoded, nullptr, false);
    return {{"id", r.id},
            {"taken", r.taken},
            {"asLeft", r.asLeft},
            {"verdict", r.verdict},
            {"largestError", numberJson(r.largestError)},
            {"tolerance", numberJson(r.tolerance)},
            {"errors", errors},
            {"decoded", decoded.is_discarded() ? json(r.decoded) : decoded}};
}

// "0.012 -0.031 -": the errors of the results of one side, in % of span.
std::string errorsText(const kvtarchive::Event& e, bool asLeft) {
    std::string text;
    for (const kvtarchive::Result& r : e.results) {
        if (r.asLeft != asLeft) continue;
        for (const kvtarchive::Point& p : r.points)
            text += (text.empty() ? "" : " ") + (std::isnan(p.error) ? "-" : number(p.error, 3));
    }
    return text;
}

std::string csvNumber(double v) {
    return std::isnan(v) ? "" : number(v, 9);
}

}  // namespace

json numberJson(double value) {
    return std::isnan(value) || std::isinf(value) ? json(nullptr) : json(value);
}

json historyJson(const std::vector<kvtarchive::Event>& events) {
    json list = json::array();
    for (const kvtarchive::Event& e : events) {
        json results = json::array();
        for (const kvtarchive::Result& r : e.results)
            results.push_back(resultJson(r));
        const kvtarchive::Upload& u = e.upload;
        list.push_back({{"id", e.id},
                        {"date", e.date},
                        {"calibrator",
                         {{"model", u.calibrator.model},
                          {"firmware", u.calibrator.firmware},
                          {"serialNumber", u.calibrator.serialNumber}}},
                        {"upload",
                         {{"id", u.id},
                          {"uploaded", u.uploaded},
                          {"host", u.host},
                          {"user", u.user},
                          {"technician", u.technician},
                          {"source", u.source}}},
                        {"asFound", sideJson(e.asFound, e.asFoundError)},
                        {"asLeft", sideJson(e.asLeft, e.asLeftError)},
                        {"certificate", e.certificate ? json(e.certificate) : json(nullptr)},
                        {"conditions",
                         {{"ambientTemperature", numberJson(e.conditions.temperature)},
                          {"humidity", numberJson(e.conditions.humidity)},
                          {"remarks", e.conditions.remarks}}},
                        {"results", results}});
    }
    return list;
}

void printHistory(std::ostream& out, const std::string& tag,
                  const std::vector<kvtarchive::Event>& events) {
    out << fmt::format("{}: {}, oldest first\n", tag, plural(events.size(), "calibration event"));
    Table table({"event", "date", "calibrator", "technician", "", "verdict", "largest %",
                 "error at each point, % of span"},
                "rlllllrl");
    for (const kvtarchive::Event& e : events) {
        const std::string serial = e.upload.calibrator.serialNumber;
        for (const bool left : {false, true}) {
            const std::string& verdict = left ? e.asLeft : e.asFound;
            if (verdict.empty()) continue;
            table.add({left ? "" : std::to_string(e.id), left ? "" : e.date, left ? "" : serial,
                       left ? "" : e.upload.technician, left ? "as left" : "as found", verdict,
                       number(left ? e.asLeftError : e.asFoundError, 3), errorsText(e, left)});
        }
    }
    if (!table.empty()) table.print(out);
}

std::string historyCsv(const std::vector<kvtarchive::Event>& events) {
    std::string csv =
        "event,date,calibrator_model,calibrator_serial,technician,side,result,taken,point,"
        "fraction,direction,nominal_source,expected_reading,reading,error_percent_of_span,"
        "tolerance_percent,verdict\n";
    for (const kvtarchive::Event& e : events) {
        for (const kvtarchive::Result& r : e.results) {
            for (const kvtarchive::Point& p : r.points) {
                const std::vector<std::string> row = {std::to_string(e.id),
                                                      e.date,
                                                      e.upload.calibrator.model,
                                                      e.upload.calibrator.serialNumber,
                                                      e.upload.technician,
                                                      r.asLeft ? "as left" : "as found",
                                                      std::to_string(r.id),
                                                      r.taken,
                                                      std::to_string(p.index),
                                                      number(p.fraction, 9),
                                                      p.down ? "down" : "up",
                                                      csvNumber(p.nominalSource),
                                                      csvNumber(p.expected),
                                                      csvNumber(p.reading),
                                                      csvNumber(p.error),
                                                      csvNumber(r.tolerance),
                                                      p.verdict};
                std::string line;
                for (const std::string& field : row)
                    line += (line.empty() ? "" : ",") + csvField(field);
                csv += line + "\n";
            }
        }
    }
    return csv;
}

void historyCommand(const Context& context, const std::string& tag, bool csv,
                    const std::string& out) {
    if (int(csv) + int(context.json) + int(!out.empty()) > 1) {
        throw inputError("history: choose one of --json, --csv and --out");
    }
    std::optional<OutputFile> page;
    if (!out.empty()) page.emplace(out);
    const std::vector<kvtarchive::Event> events = openArchive(context)->history(tag);
    if (events.empty()) {
        throw inputError("the archive " + archiveLocation(context) + " holds no event of \"" + tag +
                         "\" (kvtlnk archive list names the instruments)");
    }
    if (page) {
        page->commit(driftPage(tag, events, localTime()));
        std::cout << fmt::format("Wrote {}: the drift of {} over {}\n", out, tag,
                                 plural(events.size(), "calibration event"));
    } else if (csv) {
        std::cout << historyCsv(events);
    } else if (context.json) {
        std::cout << dumpJson({{"archive", archiveLocation(context)},
                               {"instrument", tag},
                               {"events", historyJson(events)}});
    } else {
        printHistory(std::cout, tag, events);
    }
}

void dueCommand(const Context& context, const std::string& within) {
    const int days = parseInterval(within);
    const int64_t now = today();
    std::vector<kvtarchive::Instrument> due = instrumentsOf(context, *openArchive(context), now);
    due.erase(std::remove_if(due.begin(), due.end(),
                             [&](const kvtarchive::Instrument& i) { return i.daysLeft > days; }),
              due.end());
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a.daysLeft < b.daysLeft; });
    if (context.json) {
        json list = json::array();
        for (const kvtarchive::Instrument& i : due) {
            list.push_back({{"tag", i.tag},
                            {"due", i.due},
                            {"daysLeft", i.daysLeft},
                            {"lastEvent", i.lastEvent},
                            {"lastDate", i.lastDate},
                            {"lastVerdict", i.lastVerdict},
                            {"intervalDays", i.intervalDays}});
        }
        std::cout << dumpJson(
            {{"today", kvtarchive::dateOfDay(now)}, {"within", days}, {"instruments", list}});
        return;
    }
    std::cout << fmt::format("{} due by {}{}\n", plural(due.size(), "instrument"),
                             kvtarchive::dateOfDay(now + days),
                             due.empty() ? "" : ", soonest first");
    Table table({"tag", "due", "", "last event", "date", "verdict", "interval"}, "lllrlll");
    for (const kvtarchive::Instrument& i : due) {
        const std::string when = i.daysLeft < 0    ? fmt::format("overdue {} d", -i.daysLeft)
                                 : i.daysLeft == 0 ? "today"
                                                   : fmt::format("in {} d", i.daysLeft);
        table.add({i.tag, i.due, when, std::to_string(i.lastEvent), i.lastDate, i.lastVerdict,
                   std::to_string(i.intervalDays) + " d"});
    }
    if (!table.empty()) table.print(std::cout);
}

}  // namespace kvtcli
