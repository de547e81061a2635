// The lab file in the tool: read once when a command first needs it, the defaults it gives
// (archive, serial port, technician, intervals), and kvtlnk lab check.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "commands.h"
#include "lab.h"

namespace kvtcli {

// The option --lab and the command lab check, on the tool.
void addLabCommands(CLI::App& app, Context& context);

// The lab file --lab names, else the one at the default place; an empty lab when there is none
// there. A file that cannot be read or has a problem is an input error naming each bad key.
const kvtlab::Lab& labOf(const Context& context);

// The lab file's serial port, "" when it names none: for commands that talk to a calibrator,
// after --port and KVTLNK_PORT.
std::string labPort(const Context& context);

// Who calibrates: --technician, else the lab file's technician.
std::string technicianOf(const Context& context);

// The calibration interval of an instrument that has none of its own in the archive: the lab
// file's for its tag, else the default.
int defaultIntervalOf(const Context& context, const std::string& tag);

}  // namespace kvtcli
