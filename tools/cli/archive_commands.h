// The commands of the records archive: archive add, list, interval and export; history; due;
// certificate; and what upload --store prints.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "base/files.h"
#include "commands.h"

namespace kvtcli {

// The options --archive and --technician, and the archive's commands, on the tool.
void addArchiveCommands(CLI::App& app, Context& context);
// archive init and archive copy, under the archive command.
void addArchiveSetupCommands(CLI::App& archive, Context& context);
// archive verify and archive log, under the archive command.
void addAuditCommands(CLI::App& archive, Context& context);
// The command line as the archive's audit trail keeps it: each word, quoted when it needs to
// be, a password in an option or a connection's URI as "***".
std::string commandLine(int argc, const char* const* argv);
// kvtlnk certificate, on the tool.
void addCertificateCommand(CLI::App& app, Context& context);

// "180 d" for an interval set in the archive, "180 d (lab file)", "365 d (default)".
std::string intervalText(const kvtapp::Instrument& instrument);

// "180d", "26w", "1y" (365 days), "90": a number of days; throws an input error naming the
// argument.
int parseInterval(const std::string& argument, const std::string& text);

// upload --store: writes the image file when there is one, adds the results to the archive and
// says what it did.
void storeUpload(const Context& context, const kvtapp::ImageDocument& image,
                 const std::string& source, std::optional<kvtapp::OutputFile>& file);

void historyCommand(const Context& context, const std::string& tag, bool csv,
                    const std::string& out);
// advise: the interval advice instead.
void dueCommand(const Context& context, const std::string& within, bool advise = false);

}  // namespace kvtcli
