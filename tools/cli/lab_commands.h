// The lab file in the tool: the option --lab and kvtlnk lab check.
#pragma once

#include <CLI/CLI.hpp>

#include "commands.h"

namespace kvtcli {

// The option --lab and the command lab check, on the tool.
void addLabCommands(CLI::App& app, Context& context);

}  // namespace kvtcli
