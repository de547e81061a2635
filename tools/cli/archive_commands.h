// The commands of the records archive: archive add, list, interval and export; history; due.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "archive.h"
#include "commands.h"

namespace kvtcli {

// The options --archive and --technician, and the archive's commands, on the tool.
void addArchiveCommands(CLI::App& app, Context& context);
// kvtlnk certificate, on the tool.
void addCertificateCommand(CLI::App& app, Context& context);

// "180d", "26w", "1y" (365 days), "90": a number of days; throws an input error.
int parseInterval(const std::string& text);
// Today's day number, by the local calendar.
int64_t today();
// Every instrument of the archive with its due date from its own interval, else the lab
// file's for its tag, else the default; by tag.
std::vector<kvtarchive::Instrument> instrumentsOf(const Context& context,
                                                  kvtarchive::Archive& archive, int64_t now);

void historyCommand(const Context& context, const std::string& tag, bool csv,
                    const std::string& out);
void dueCommand(const Context& context, const std::string& within);

}  // namespace kvtcli
