#include "calibrator/session.h"

#include <fmt/format.h>

#include <filesystem>

#include "base/error.h"
#include "base/platform.h"
#include "calibrator/ports.h"
#include "image/image.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtapp {

Session::Session(const std::string& path, const LinkOptions& options, SessionWatch& watch,
                 bool emulated)
    : path_(path), watch_(watch), emulated_(emulated) {
    watch_.holding(portDevice(path_));
    const uint32_t rc = KVTopen(9600, path_.c_str(), options.timeoutMs, options.attempts);
    if (rc == KVTLNK_OK) return;
    watch_.holding("");
    const std::string device = portDevice(path_);
    const std::string problem = rc == KVTLNK_E_NO_SESSION ? platform::portProblem(device) : "";
    if (!problem.empty()) {
        const std::string shown = device == path_ ? path_ : path_ + " (" + device + " on Linux)";
        throw calibratorError("cannot open " + shown + ": " + problem, rc);
    }
    fail(rc, "opening " + portName());
}

Session::~Session() {
    KVTclose();
    watch_.holding("");
}

std::string Session::portName() const {
    return emulated_ ? "sim (" + path_ + ")" : path_;
}

void Session::fail(uint32_t rc, const std::string& what, const std::string& consequence) const {
    // A device that went away mid-session (an adapter pulled out, a hung-up line) makes every
    // exchange fail; the advice that goes with the result code would mislead. An exchange that
    // failed while the device's path vanished is told as an unplugged device.
    std::error_code unseen;
    const bool exchangeFailed = rc >= KVTLNK_E_NO_SESSION && rc <= KVTLNK_E_BAD_REPLY;
    const bool vanished =
        !emulated_ && exchangeFailed && !std::filesystem::exists(portDevice(path_), unseen);
    if (!vanished) throw libraryError(rc, what, consequence);
    throw calibratorError(what + ": " + path_ +
                              " is gone: was the cable or the adapter unplugged? Plug it in again" +
                              (consequence.empty() ? "" : " (" + consequence + ")"),
                          rc);
}

const Calibrator& Session::identity() {
    if (identity_) return *identity_;
    // KVTopen keeps the identification to itself, and KVTgetK2x writes texts as long as the
    // calibrator sends them (up to one 128-byte reply line).
    char model[129] = {}, serial[129] = {}, firmware[129] = {};
    Calibrator id;
    const uint32_t rc =
        KVTgetK2x(model, serial, firmware, &id.memoryCapacity, &id.procedureItems, &id.resultItems);
    if (rc != KVTLNK_OK) fail(rc, "identifying the calibrator on " + portName());
    id.model = model;
    id.firmware = firmware;
    id.serialNumber = serial;
    return identity_.emplace(std::move(id));
}

uint32_t Session::download(TransferProgress& progress, const std::vector<uint32_t>& itemBytes,
                           const std::string& again) {
    watch_.checkpoint();
    watch_.stopWouldLeave("the procedure memory may be empty now; " + again);
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
        watch_.stopWouldLeave(stopped + ": the procedure memory is partial; " + again);
        watch_.checkpoint();
        rc = KVTdnlStep(&remaining);
        if (rc == KVTLNK_E_REFUSED) {
            // What the calibrator refuses in the middle of a download is an item its memory
            // has no room for.
            progress.end();
            throw calibratorError(
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
    watch_.stopWouldLeave("");
    return items;
}

uint32_t Session::upload(TransferProgress& progress, const std::string& unwritten) {
    watch_.checkpoint();
    const std::string untouched =
        "the calibrator's memories are unchanged" + (unwritten.empty() ? "" : "; " + unwritten);
    watch_.stopWouldLeave(untouched);
    uint32_t items = 0;
    uint32_t rc = KVTuplStart(&items);
    if (rc != KVTLNK_OK) fail(rc, "upload did not start");
    progress.begin(recordSizes());
    for (uint32_t remaining = items; remaining > 0;) {
        const std::string stopped =
            fmt::format("stopped after {} of {} items", items - remaining, items);
        watch_.stopWouldLeave(stopped + ": " + untouched);
        watch_.checkpoint();
        rc = KVTuplStep(&remaining);
        if (rc != KVTLNK_OK) {
            progress.end();
            fail(rc, "upload " + stopped);
        }
        progress.advance(items - remaining);
    }
    progress.end();
    watch_.stopWouldLeave(untouched);
    return items;
}

void Session::clearProcedure() {
    watch_.checkpoint();
    watch_.stopWouldLeave("the procedure memory may or may not be empty");
    const uint32_t rc = KVTclear();
    if (rc != KVTLNK_OK) {
        throw libraryError(rc, "clearing", "the procedure memory may or may not be empty");
    }
    watch_.stopWouldLeave("the procedure memory is empty");
}

}  // namespace kvtapp
