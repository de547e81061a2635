#include "standards_commands.h"

#include <fmt/format.h>

#include <cmath>
#include <iostream>

#include "advice/advice.h"
#include "base/json.h"
#include "base/time.h"
#include "base/units.h"
#include "base/words.h"
#include "table.h"
#include "workspace/standards.h"
#include "workspace/store.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

std::string whenText(const kvtlab::StandardStanding& s) {
    switch (s.status) {
        case kvtlab::StandardStatus::Overdue:
            return fmt::format("overdue {} d", -s.daysLeft);
        case kvtlab::StandardStatus::Unknown:
            return "no due date";
        default:
            return s.daysLeft == 0 ? "today" : fmt::format("in {} d", s.daysLeft);
    }
}

void listCommand(const Context& context) {
    const kvtlab::Lab& lab = context.workspace.lab();
    const std::string today = dateOfDay(kvtapp::today());
    const std::vector<kvtlab::StandardStanding> list = kvtlab::standardsOn(lab, today);
    if (context.json) {
        json standards = json::array();
        for (const kvtlab::StandardStanding& s : list)
            standards.push_back(kvtlab::toJson(s));
        std::cout << dumpJson({{"today", today}, {"standards", standards}});
        return;
    }
    std::cout << fmt::format("{} in {} on {}\n", plural(list.size(), "reference standard"),
                             context.workspace.labPath(), today);
    Table table({"kind", "serial", "model", "certificate", "calibrated", "due", "", "status"},
                "lllllllll");
    for (const kvtlab::StandardStanding& s : list) {
        const kvtlab::Standard& d = *s.standard;
        table.add({s.kind, d.serial, d.model, d.certificate, d.calibrated, d.due, whenText(s),
                   kvtlab::statusName(s.status)});
    }
    if (!table.empty()) table.print(std::cout);
}

// "2025-01-10", checked; empty stays empty.
std::string dayArgument(const char* option, const std::string& text) {
    if (text.empty()) return text;
    const std::optional<int64_t> day = dayOfStamp(text);
    if (!day || text.size() != 10)
        throw inputError(fmt::format("{}: give a day as 2025-01-31", option));
    return dateOfDay(*day);
}

std::string verdictText(const std::optional<Verdict>& v) {
    return v ? verdictName(*v) : "-";
}

void affectedCommand(const Context& context, const std::string& serial, const std::string& since,
                     const std::string& until) {
    const std::string from = dayArgument("--since", since);
    const std::string to = dayArgument("--until", until);
    auto archive = context.workspace.openArchive(kvtarchive::Access::Read);
    const std::vector<AffectedCalibration> list =
        standardsAffected(context.workspace, *archive, serial, from, to);
    if (context.json) {
        json calibrations = json::array();
        for (const AffectedCalibration& a : list)
            calibrations.push_back(toJson(a));
        std::cout << dumpJson({{"archive", context.workspace.archiveShown()},
                               {"serial", serial},
                               {"since", from.empty() ? json(nullptr) : json(from)},
                               {"until", to.empty() ? json(nullptr) : json(to)},
                               {"calibrations", calibrations}});
        return;
    }
    size_t certificates = 0, reconstructed = 0;
    for (const AffectedCalibration& a : list) {
        certificates += a.certificates.size();
        reconstructed += a.used.reconstructed;
    }
    std::cout << fmt::format("{}: {} relied on it{}{}, {}; worst first\n", visibleText(serial),
                             plural(list.size(), "calibration"),
                             from.empty() ? "" : " from " + from, to.empty() ? "" : " until " + to,
                             plural(certificates, "certificate"));
    Table table({"calibration", "day", "instrument", "customer", "as found", "as left",
                 "largest |error| / tolerance", "certificate of the standard", "status",
                 "certificates issued"},
                "rlllllrlll");
    for (const AffectedCalibration& a : list) {
        std::string issued;
        for (const std::string& c : a.certificates)
            issued += (issued.empty() ? "" : ", ") + c;
        table.add({std::to_string(a.calibration), a.day, a.instrument, a.customer,
                   verdictText(a.asFound), verdictText(a.asLeft),
                   std::isnan(a.worstPercent) ? "-" : number(a.worstPercent, 3) + " %",
                   a.used.standard.certificate + (a.used.reconstructed ? " (reconstructed)" : ""),
                   a.used.status, issued});
    }
    if (!table.empty()) table.print(std::cout);
    if (reconstructed) {
        std::cout << fmt::format(
            "{} stored before standards were recorded with calibrations: worked out from the lab "
            "file as it is now and the certificates the archive kept\n",
            plural(reconstructed, "calibration"));
    }
}

}  // namespace

void printStandardsDue(std::ostream& out, const kvtlab::Lab& lab, const std::string& today) {
    const std::vector<kvtlab::Problem> due = kvtlab::labWarnings(lab, today);
    if (due.empty()) return;
    out << fmt::format("{} of the lab due within {} days or overdue:\n",
                       plural(due.size(), "reference standard"), kvtlab::kDueSoonDays);
    for (const kvtlab::Problem& p : due)
        out << "  " << visibleText(p.message) << '\n';
}

json standardsDueJson(const kvtlab::Lab& lab, const std::string& today) {
    json list = json::array();
    for (const kvtlab::StandardStanding& s : kvtlab::standardsOn(lab, today)) {
        if (s.status == kvtlab::StandardStatus::DueSoon ||
            s.status == kvtlab::StandardStatus::Overdue)
            list.push_back(kvtlab::toJson(s));
    }
    return list;
}

void adviseCommand(const Context& context) {
    auto archive = context.workspace.openArchive(kvtarchive::Access::Read);
    const std::vector<IntervalAdvice> list =
        intervalAdvice(context.workspace, *archive, kvtapp::today());
    if (context.json) {
        json advice = json::array();
        for (const IntervalAdvice& a : list)
            advice.push_back(toJson(a));
        std::cout << dumpJson({{"method", "simple response"},
                               {"lengthenBy", kLengthenFactor},
                               {"after", kInToleranceRun},
                               {"shortenBy", kShortenFactor},
                               {"driftGuardPercent", kDriftGuardPercent},
                               {"instruments", advice}});
        return;
    }
    std::cout << fmt::format(
        "Interval advice for {} with {} or more calibrations (simple response method: {:.0f} % "
        "longer after {} as-found results in tolerance, {:.0f} % shorter after one out of it); "
        "no interval is changed\n",
        plural(list.size(), "instrument"), kAdviceMinimum, kLengthenFactor * 100, kInToleranceRun,
        kShortenFactor * 100);
    Table table({"tag", "interval", "as found, % of tolerance", "drift a year", "advice",
                 "suggested", "why"},
                "lrlrlrl");
    for (const IntervalAdvice& a : list) {
        std::string history;
        for (const AsFoundPoint& p : a.asFound)
            history += (history.empty() ? "" : " ") + fmt::format("{:.0f}", p.percent);
        table.add({a.tag, fmt::format("{} d", a.intervalDays), history,
                   std::isnan(a.driftPerYear) ? "-" : fmt::format("{:+.0f} %", a.driftPerYear),
                   changeName(a.change), fmt::format("{} d", a.suggestedDays), a.reason});
    }
    if (!table.empty()) table.print(std::cout);
    if (!list.empty()) std::cout << "Set an interval with kvtlnk archive interval TAG INTERVAL\n";
}

void addStandardsCommands(CLI::App& app, Context& context) {
    struct Arguments {
        std::string serial, since, until;
    };
    const auto a = std::make_shared<Arguments>();
    CLI::App* standards = app.add_subcommand(
        "standards",
        "the lab's reference standards and pressure modules with their status (in date, due "
        "within 30 days, overdue); standards affected: the calibrations that relied on one");
    standards->require_subcommand(0, 1);
    CLI::App* affected = standards->add_subcommand(
        "affected",
        "every calibration that relied on a standard in a period, and the certificates issued "
        "for it, with instrument, customer and largest error relative to tolerance, worst first");
    affected->add_option("SERIAL", a->serial, "the standard's or module's serial number")
        ->required();
    affected->add_option("--since", a->since, "calibrations on this day or later")
        ->type_name("DATE");
    affected->add_option("--until", a->until, "calibrations on this day or earlier")
        ->type_name("DATE");
    affected->callback([&context, a] { affectedCommand(context, a->serial, a->since, a->until); });
    standards->callback([&context, standards] {
        if (standards->get_subcommands().empty()) listCommand(context);
    });
}

}  // namespace kvtcli
