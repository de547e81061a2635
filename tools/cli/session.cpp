#include "session.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include "failure.h"
#include "image.h"
#include "interrupt.h"
#include "kvtlnk/kvtlnk.h"
#include "ports.h"
#include "sim_commands.h"
#include "simulator.h"

namespace kvtcli {

Session::Session(const PortOptions& options, const kvttools::MemoryFile* memories)
    : path_(options.port) {
    if (options.port == "sim") {
        resident_ = memories == nullptr && options.simResident ? residentEmulatorPort() : "";
        if (resident_.empty()) simulator_ = std::make_unique<Simulator>(options, memories);
        path_ = simulator_ ? simulator_->portPath() : resident_;
    }
    setPortInUse(portDevice(path_));
    const uint32_t rc = KVTopen(9600, path_.c_str(), options.timeoutMs, options.attempts);
    if (rc == KVTLNK_OK) return;
    setPortInUse("");
    const std::string device = portDevice(path_);
    const std::string problem = rc == KVTLNK_E_NO_SESSION ? portProblem(device) : "";
    if (!problem.empty()) {
        const std::string shown = device == path_ ? path_ : path_ + " (" + device + " on Linux)";
        throw CliError(kExitCalibrator, "cannot open " + shown + ": " + problem, rc);
    }
    fail(rc, "opening " + portName());
}

Session::~Session() {
    KVTclose();
    setPortInUse("");
}

std::string Session::portName() const {
    return simulator_ || !resident_.empty() ? "sim (" + path_ + ")" : path_;
}

void Session::fail(uint32_t rc, const std::string& what, const std::string& consequence) const {
    // A device that went away mid-session (an adapter pulled out, a hung-up line) makes every
    // exchange fail; the advice that goes with the result code would mislead. An exchange that
    // failed while the device's path vanished is told as an unplugged device.
    struct stat st {};
    const bool exchangeFailed = rc >= KVTLNK_E_NO_SESSION && rc <= KVTLNK_E_BAD_REPLY;
    const bool vanished =
        !simulator_ && exchangeFailed && ::stat(portDevice(path_).c_str(), &st) != 0;
    if (!vanished) throw libraryError(rc, what, consequence);
    throw CliError(kExitCalibrator,
                   what + ": " + path_ +
                       " is gone: was the cable or the adapter unplugged? Plug it in again" +
                       (consequence.empty() ? "" : " (" + consequence + ")"),
                   rc);
}

const Identity& Session::identity() {
    if (identity_) return *identity_;
    // KVTopen keeps the identification to itself, and KVTgetK2x writes texts as long as the
    // calibrator sends them (up to one 128-byte reply line).
    char model[129] = {}, serial[129] = {}, firmware[129] = {};
    Identity id;
    const uint32_t rc =
        KVTgetK2x(model, serial, firmware, &id.memoryCapacity, &id.procedureItems, &id.resultItems);
    if (rc != KVTLNK_OK) fail(rc, "identifying the calibrator on " + portName());
    id.model = model;
    id.firmware = firmware;
    id.serialNumber = serial;
    return identity_.emplace(std::move(id));
}

uint32_t Session::download(Progress& progress, const std::vector<uint32_t>& itemBytes,
                           const std::string& again) {
    checkInterrupt();
    setStopState("the procedure memory may be empty now; " + again);
    uint32_t items = 0;
    uint32_t rc = KVTdnlStart(&items);
    if (rc != KVTLNK_OK) {
        fail(rc, "download did not start",
             rc == KVTLNK_E_NOT_ACCEPTED
                 ? "nothing was sent"
                 : "the calibrator's procedure memory may be empty now; " + again);
    }
    progress.begin(itemBytes.size() == items ? itemBytes : std::vector<uint32_t>(items, 1));
    for (uint32_t remaining = items; remaining > 0;) {
        const uint32_t sent = items - remaining;
        const std::string stopped = fmt::format("stopped after {} of {} items", sent, items);
        setStopState(stopped + ": the procedure memory is partial; " + again);
        checkInterrupt();
        rc = KVTdnlStep(&remaining);
        if (rc == KVTLNK_E_REFUSED) {
            // What the calibrator refuses in the middle of a download is an item its memory
            // has no room for.
            progress.end();
            throw CliError(kExitCalibrator,
                           fmt::format("download {}: the calibrator refused item {} ({}): its "
                                       "procedure memory is full (it holds a partial procedure "
                                       "memory: make the procedure smaller, then {})",
                                       stopped, sent + 1, rc, again),
                           rc);
        }
        if (rc != KVTLNK_OK) {
            progress.end();
            fail(rc, "download " + stopped,
                 "the calibrator holds a partial procedure memory: " + again);
        }
        progress.advance(items - remaining);
    }
    progress.end();
    setStopState("");
    return items;
}

uint32_t Session::upload(Progress& progress, const std::string& unwritten) {
    checkInterrupt();
    const std::string untouched =
        "the calibrator's memories are unchanged" + (unwritten.empty() ? "" : "; " + unwritten);
    setStopState(untouched);
    uint32_t items = 0;
    uint32_t rc = KVTuplStart(&items);
    if (rc != KVTLNK_OK) fail(rc, "upload did not start");
    progress.begin(recordSizes());
    for (uint32_t remaining = items; remaining > 0;) {
        const std::string stopped =
            fmt::format("stopped after {} of {} items", items - remaining, items);
        setStopState(stopped + ": " + untouched);
        checkInterrupt();
        rc = KVTuplStep(&remaining);
        if (rc != KVTLNK_OK) {
            progress.end();
            fail(rc, "upload " + stopped);
        }
        progress.advance(items - remaining);
    }
    progress.end();
    setStopState(untouched);
    return items;
}

}  // namespace kvtcli
