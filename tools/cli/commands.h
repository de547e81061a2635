// The subcommands of the kvtlnk tool. Each prints its text or JSON on standard output and
// throws CliError when it cannot finish.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "image.h"
#include "session.h"

namespace kvtlab {
struct Lab;
}

namespace kvtcli {

struct Context {
    PortOptions port;
    bool json = false;   // machine-readable output
    bool quiet = false;  // no progress on standard error
    // The records archive: where it is ("" for the default), who calibrates, and the interval
    // of instruments that have none of their own.
    std::string archive;
    std::string technician;
    int intervalDays = 365;
    // The lab file --lab names ("" for the default place), read when first needed (labOf).
    std::string lab;
    mutable std::shared_ptr<const kvtlab::Lab> labFile;
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
// store: add the results to the records archive.
void uploadCommand(const Context& context, const std::string& out, bool store);
void clearCommand(const Context& context, const ResultsPolicy& policy);
void dumpCommand(const Context& context, const std::string& directory, const std::string& from);
void showCommand(const Context& context, const std::string& file);
// file: an image file, or "" to upload from the calibrator first; csv: one row per test point;
// check: exit with status 1 unless every result decodes and none fails.
void resultsCommand(const Context& context, const std::string& file, bool csv, bool check);
// out: the HTML file to write, or "" for standard output. An image without calibration results
// is refused: there is nothing to report.
void reportCommand(const Context& context, const std::string& file, const std::string& out);
// report: the calibration report to write.
void demoCommand(const Context& context, bool confirmed, const std::string& report);

// Shared by the commands.

// The calibrator's identity as the tool's JSON gives it.
nlohmann::ordered_json identityJson(const Identity& id);

// The calibrator of a session, for an image uploaded from it: identity, port and upload time.
nlohmann::ordered_json calibratorJson(Session& session);
// The lab file, for a description that names its pressure modules.
LabSource labSource(const Context& context);
// The options of a session with the calibrator, its port chosen from --port, KVTLNK_PORT and
// the lab file (choosePort).
PortOptions calibratorPort(const Context& context);
// Shows at once that the transfer has begun: opening a port and identifying the calibrator
// can take seconds.
void announce(Progress& progress, const PortOptions& port);
// The image a file stands for, decoded by the library: an image file uploaded from the
// emulator holding its memories, a procedure description built with the MEM and STA calls.
ImageDocument imageOfFile(const Context& context, const std::string& file);
// The image of both memories, uploaded from the emulator holding them.
ImageDocument imageOfMemories(const Context& context, const kvttools::MemoryFile& memories,
                              const nlohmann::ordered_json& calibrator);
// Refuses an image without calibration results, which leaves nothing for a document ("report")
// to say; out is the file that then is not written.
void requireResults(const ImageDocument& image, const std::string& origin,
                    const std::string& document, const std::string& out);
// The local time, "2024-05-02 14:10:00".
std::string localTime();

}  // namespace kvtcli
