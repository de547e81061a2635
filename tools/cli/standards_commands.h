// kvtlnk standards and standards affected: the lab's reference standards with their status,
// and the calibrations that relied on one; kvtlnk due --advise: interval advice; and the
// standards due soon that lab check and due list.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>

#include "commands.h"

namespace kvtcli {

void addStandardsCommands(CLI::App& app, Context& context);

// The lab's standards past their due date or due within 30 days, on the day given: one line
// each (nothing when none is), or as JSON.
void printStandardsDue(std::ostream& out, const kvtlab::Lab& lab, const std::string& today);
nlohmann::ordered_json standardsDueJson(const kvtlab::Lab& lab, const std::string& today);

// due --advise.
void adviseCommand(const Context& context);

}  // namespace kvtcli
