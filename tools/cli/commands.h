// The subcommands of the kvtlnk tool. Each calls the application core, prints its text or JSON
// on standard output and throws an Error when it cannot finish.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "calibrator/session.h"
#include "image/image.h"
#include "procedure/description.h"
#include "progress.h"
#include "render/report.h"
#include "workspace/guard.h"
#include "workspace/images.h"
#include "workspace/workspace.h"

namespace kvtcli {

class Simulator;

struct PortOptions {
    // A device path, "COMn", or "sim" for the built-in emulator; "" when --port is not given.
    std::string port;
    kvtapp::LinkOptions link;
    // The emulator's identity and line speed, with --port sim.
    std::string simModel = kvtapp::kCheckedModel;
    std::string simFirmware = kvtapp::kCheckedFirmware;
    bool simWireSpeed = false;  // pace the emulator's replies at 9600 baud
    bool simResident = true;    // "sim" names the emulator of kvtlnk sim start when one runs
};

struct Context {
    PortOptions port;
    bool json = false;   // machine-readable output
    bool quiet = false;  // no progress on standard error
    kvtapp::Workspace workspace;
};

// The calibrator of a command: the port its options name, or for "sim" the emulator of kvtlnk
// sim start, else a built-in one on a pty; the session opened on it.
class Connection {
  public:
    explicit Connection(const PortOptions& options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    kvtapp::Session& session() { return *session_; }
    // The built-in emulator of this command; none for a port, or for the emulator of kvtlnk sim
    // start.
    Simulator* simulator() { return simulator_.get(); }

  private:
    std::unique_ptr<Simulator> simulator_;
    std::unique_ptr<kvtapp::Session> session_;
};

using kvtapp::ResultsPolicy;

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

// The calibrator of a session as an image keeps it: identity, port and upload time.
nlohmann::ordered_json calibratorJson(kvtapp::Session& session);
// The options of a session with the calibrator, its port chosen from --port, KVTLNK_PORT and
// the lab file (choosePort).
PortOptions calibratorPort(const Context& context);
// Shows at once that the transfer has begun: opening a port and identifying the calibrator
// can take seconds.
void announce(Progress& progress, const PortOptions& port);
// The image a file stands for, decoded by the library (imageOfFile).
kvtapp::ImageDocument imageOfFile(const Context& context, const std::string& file);
// Refuses an image without calibration results, which leaves nothing for a document ("report")
// to say; out is the file that then is not written.
void requireResults(const kvtapp::ImageDocument& image, const std::string& origin,
                    const std::string& document, const std::string& out);
// What the report of the image says of where its results came from, written now.
kvtapp::ReportSource reportSource(const kvtapp::ImageDocument& image, const std::string& origin);

}  // namespace kvtcli
