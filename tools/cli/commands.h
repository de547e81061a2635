// The subcommands of the kvtlnk tool. Each prints its text or JSON on standard output and
// throws CliError when it cannot finish.
#pragma once

#include <string>

#include "session.h"

namespace kvtcli {

struct Context {
    PortOptions port;
    bool json = false;   // machine-readable output
    bool quiet = false;  // no progress on standard error
};

void identifyCommand(const Context& context);
void memstatsCommand(const Context& context);
void downloadCommand(const Context& context, const std::string& file);
void uploadCommand(const Context& context, const std::string& out);
void clearCommand(const Context& context);
void dumpCommand(const Context& context, const std::string& directory, const std::string& from);
void showCommand(const Context& context, const std::string& file);
void demoCommand(const Context& context, bool confirmed);

}  // namespace kvtcli
