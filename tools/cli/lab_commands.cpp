#include "lab_commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>

#include "base/escape.h"
#include "base/time.h"
#include "base/words.h"
#include "serve_commands.h"
#include "table.h"

namespace kvtcli {
namespace {

using namespace kvtapp;
using json = nlohmann::ordered_json;

void checkCommand(const Context& context) {
    const std::string path = context.workspace.labPath();
    std::error_code unseen;
    if (!std::filesystem::exists(path, unseen)) {
        throw inputError("no lab file at " + path +
                         " (kvtlnk reads it there unless --lab names another; the commented "
                         "sample share/doc/kvtlnk/lab.toml shows every key)");
    }
    const kvtlab::Lab& lab = context.workspace.lab();
    const std::string day = dateOfDay(today());
    const std::vector<kvtlab::Problem> warnings = kvtlab::labWarnings(lab, day);
    const std::vector<kvtlab::StandardStanding> standings = kvtlab::standardsOn(lab, day);
    const std::vector<std::string> gaps = kvtlab::certificateGaps(lab);
    if (context.json) {
        json notes = json::array();
        for (const kvtlab::Problem& w : warnings)
            notes.push_back({{"key", w.key}, {"message", w.message}});
        json standards = json::array();
        for (const kvtlab::StandardStanding& s : standings)
            standards.push_back(kvtlab::toJson(s));
        std::cout << dumpJson({{"file", path},
                               {"lab", lab.name},
                               {"standards", standards},
                               {"intervals", lab.intervals.size()},
                               {"warnings", notes},
                               {"certificatesCannotState", gaps}});
        return;
    }
    std::cout << fmt::format("{}: {}: {}, {}, {}, {}\n", path,
                             warnings.empty() ? "no problem" : plural(warnings.size(), "warning"),
                             lab.name.empty() ? "no lab name" : "\"" + lab.name + "\"",
                             plural(lab.calibrators.size(), "calibrator"),
                             plural(lab.modules.size(), "pressure module"),
                             plural(lab.intervals.size(), "interval"));
    for (const kvtlab::Problem& w : warnings)
        std::cout << "  " << visibleText(w.key + ": " + w.message) << '\n';
    for (const std::string& gap : gaps)
        std::cout << "  certificates cannot state " << gap << '\n';
    Table table({"standard", "serial", "certificate", "calibrated", "due", "status"}, "llllll");
    for (const kvtlab::StandardStanding& s : standings) {
        table.add({s.kind, s.standard->serial, s.standard->certificate, s.standard->calibrated,
                   s.standard->due, kvtlab::statusName(s.status)});
    }
    if (!table.empty()) table.print(std::cout);
}

}  // namespace

void addLabCommands(CLI::App& app, Context& context) {
    app.add_option("--lab", context.workspace.settings.lab,
                   "the lab file (TOML): the lab, its technicians, reference standards, default "
                   "archive and port, and intervals; else $XDG_CONFIG_HOME/kvtlnk/lab.toml")
        ->type_name("FILE");
    CLI::App* lab = app.add_subcommand("lab", "the lab file: check it");
    lab->require_subcommand(1, 1);
    const auto user = std::make_shared<std::pair<std::string, std::string>>();
    CLI::App* passwd = lab->add_subcommand(
        "passwd",
        "set the password of a user of the bench page (added with --role when not listed): "
        "asked twice on the terminal, or one line of standard input; its Argon2id hash goes "
        "into the lab file");
    passwd->add_option("NAME", user->first, "the user's name")->required();
    passwd->add_option("--role", user->second, "technician or \"quality manager\"")
        ->check(CLI::IsMember({"technician", "quality manager"}));
    passwd->callback([&context, user] { passwdCommand(context, user->first, user->second); });
    lab->add_subcommand("check",
                        "read the lab file and name every key it cannot use, one line each; "
                        "list its reference standards")
        ->callback([&context] { checkCommand(context); });
}

}  // namespace kvtcli
