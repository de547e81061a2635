// The bench page in the tool: kvtlnk serve, the worker mode it runs for each calibrator port,
// and kvtlnk lab passwd, which gives the page's users their passwords.
#pragma once

#include <CLI/CLI.hpp>

#include "commands.h"

namespace kvtcli {

void addServeCommands(CLI::App& app, Context& context);

// kvtlnk lab passwd NAME [--role ROLE]: the password read from the terminal (twice, not shown)
// or from one line of standard input, its Argon2id hash written into the lab file.
void passwdCommand(const Context& context, const std::string& name, const std::string& role);

}  // namespace kvtcli
