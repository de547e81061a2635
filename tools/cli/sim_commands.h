// kvtlnk sim start, stop and status: an emulator that lasts between commands, on a pty in the
// background, which --port sim then names.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "commands.h"

namespace kvtcli {

void addSimCommands(CLI::App& app, Context& context);

// The pty of the emulator that kvtlnk sim start runs, or "" when none runs (an entry left by
// one that is gone is removed).
std::string residentEmulatorPort();

// Said after an upload from the one-shot emulator of --port sim that held no results.
std::string emptyEmulatorNote();

}  // namespace kvtcli
