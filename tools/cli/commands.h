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

// What download and clear do when the calibrator still holds results: refuse, unless they are
// saved first or given up.
struct ResultsPolicy {
    std::string backup;    // upload both memories into this image file first
    bool discard = false;  // go on without saving them
};

void identifyCommand(const Context& context);
void memstatsCommand(const Context& context);
// confirmed: send a description that holds nothing.
void downloadCommand(const Context& context, const std::string& file, const ResultsPolicy& policy,
                     bool confirmed);
void uploadCommand(const Context& context, const std::string& out);
void clearCommand(const Context& context, const ResultsPolicy& policy);
void dumpCommand(const Context& context, const std::string& directory, const std::string& from);
void showCommand(const Context& context, const std::string& file);
void demoCommand(const Context& context, bool confirmed);

}  // namespace kvtcli
