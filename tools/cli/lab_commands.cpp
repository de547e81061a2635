#include "lab_commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>

#include "error.h"
#include "json_file.h"
#include "table.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

std::shared_ptr<const kvtlab::Lab> readLab(const std::string& option) {
    const std::string path = kvtlab::labPath(option);
    // At the default place, a file that is not there, or that this user cannot even look
    // for, is no lab file.
    std::error_code unseen;
    if (option.empty() && !std::filesystem::exists(path, unseen)) {
        return std::make_shared<kvtlab::Lab>();
    }
    std::vector<kvtlab::Problem> found;
    auto lab = std::make_shared<kvtlab::Lab>(kvtlab::parseLab(readFile(path), path, found));
    if (found.empty()) return lab;
    std::vector<Problem> problems;
    for (const kvtlab::Problem& p : found)
        problems.push_back({p.key, p.message});
    throw CliError::fileProblems(path, std::move(problems));
}

void checkCommand(const Context& context) {
    const std::string path = kvtlab::labPath(context.lab);
    std::error_code unseen;
    if (!std::filesystem::exists(path, unseen)) {
        throw inputError("no lab file at " + path +
                         " (kvtlnk reads it there unless --lab names another; the commented "
                         "sample share/doc/kvtlnk/lab.toml shows every key)");
    }
    const kvtlab::Lab& lab = labOf(context);
    if (context.json) {
        json standards = json::array();
        for (const auto* list : {&lab.calibrators, &lab.modules}) {
            for (const kvtlab::Standard& s : *list) {
                standards.push_back(
                    {{"serial", s.serial},
                     {"kind", list == &lab.modules ? "pressure module" : "calibrator"},
                     {"certificate", s.certificate},
                     {"due", s.due}});
            }
        }
        std::cout << dumpJson({{"file", path},
                               {"lab", lab.name},
                               {"standards", standards},
                               {"intervals", lab.intervals.size()}});
        return;
    }
    std::cout << fmt::format("{}: no problem: {}, {}, {}, {}\n", path,
                             lab.name.empty() ? "no lab name" : "\"" + lab.name + "\"",
                             plural(lab.calibrators.size(), "calibrator"),
                             plural(lab.modules.size(), "pressure module"),
                             plural(lab.intervals.size(), "interval"));
    Table table({"standard", "serial", "certificate", "calibrated", "due"}, "lllll");
    for (const auto* list : {&lab.calibrators, &lab.modules}) {
        for (const kvtlab::Standard& s : *list) {
            table.add({list == &lab.modules ? "pressure module" : "calibrator", s.serial,
                       s.certificate, s.calibrated, s.due});
        }
    }
    if (!table.empty()) table.print(std::cout);
}

}  // namespace

const kvtlab::Lab& labOf(const Context& context) {
    if (!context.labFile) context.labFile = readLab(context.lab);
    return *context.labFile;
}

std::string labPort(const Context& context) {
    return labOf(context).port;
}

std::string technicianOf(const Context& context) {
    return context.technician.empty() ? labOf(context).technician : context.technician;
}

int defaultIntervalOf(const Context& context, const std::string& tag) {
    return labOf(context).intervalFor(tag).value_or(context.intervalDays);
}

void addLabCommands(CLI::App& app, Context& context) {
    app.add_option("--lab", context.lab,
                   "the lab file (TOML): the lab, its technicians, reference standards, default "
                   "archive and port, and intervals; else $XDG_CONFIG_HOME/kvtlnk/lab.toml")
        ->type_name("FILE");
    CLI::App* lab = app.add_subcommand("lab", "the lab file: check it");
    lab->require_subcommand(1, 1);
    lab->add_subcommand("check",
                        "read the lab file and name every key it cannot use, one line each; "
                        "list its reference standards")
        ->callback([&context] { checkCommand(context); });
}

}  // namespace kvtcli
