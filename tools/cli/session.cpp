#include "session.h"

#include <vector>

#include "failure.h"
#include "image.h"
#include "kvtlnk/kvtlnk.h"
#include "simulator.h"

namespace kvtcli {

Session::Session(const PortOptions& options, const ImageDocument* memories) : path_(options.port) {
    if (options.port == "sim") {
        simulator_ = std::make_unique<Simulator>(options, memories);
        path_ = simulator_->portPath();
    }
    const uint32_t rc = KVTopen(9600, path_.c_str(), options.timeoutMs, options.attempts);
    if (rc != KVTLNK_OK) throw libraryError(rc, "opening " + portName());
}

Session::~Session() {
    KVTclose();
}

std::string Session::portName() const {
    return simulator_ ? "sim (" + path_ + ")" : path_;
}

Identity Session::identify() {
    // KVTopen keeps the identification to itself, and KVTgetK2x writes texts as long as the
    // calibrator sends them (up to one 128-byte reply line).
    char model[129] = {}, ident3[129] = {}, firmware[129] = {};
    Identity id;
    const uint32_t rc =
        KVTgetK2x(model, ident3, firmware, &id.edValue, &id.procedureItems, &id.resultItems);
    if (rc != KVTLNK_OK) throw libraryError(rc, "identifying the calibrator on " + portName());
    id.model = model;
    id.firmware = firmware;
    id.ident3 = ident3;
    return id;
}

uint32_t Session::download(Progress& progress) {
    // The record sizes, for the time left: the image as it will go out.
    const ImageDocument image = captureImage();
    std::vector<uint32_t> bytes;
    uint64_t total = 0;
    for (const ImageRecord& r : image.procedure) {
        bytes.push_back(static_cast<uint32_t>(r.data.size()));
        total += r.data.size();
    }
    uint32_t items = 0;
    uint32_t rc = KVTdnlStart(&items);
    if (rc != KVTLNK_OK) {
        throw libraryError(rc, "download did not start",
                           rc == KVTLNK_E_NOT_ACCEPTED
                               ? "nothing was sent"
                               : "the calibrator's procedure memory may be empty now");
    }
    progress.begin(items, total, bytes);
    uint32_t remaining = items;
    while (remaining > 0) {
        const uint32_t before = remaining;
        rc = KVTdnlStep(&remaining);
        if (rc != KVTLNK_OK) {
            progress.end(true);
            const uint32_t sent = items - before;
            throw libraryError(rc,
                               "download stopped after " + std::to_string(sent) + " of " +
                                   std::to_string(items) + " items",
                               "the calibrator holds a partial procedure memory: download again");
        }
        progress.update(items - remaining);
    }
    progress.end(false);
    return items;
}

uint32_t Session::upload(Progress& progress) {
    uint32_t items = 0;
    uint32_t rc = KVTuplStart(&items);
    if (rc != KVTLNK_OK) throw libraryError(rc, "upload did not start");
    // The directories are in: the image holds every record at its size, still zero-filled.
    uint32_t used = 0;
    MEMused(&used);
    progress.begin(items, used > 44 ? used - 44 : 0);
    uint32_t remaining = items;
    while (remaining > 0) {
        const uint32_t before = remaining;
        rc = KVTuplStep(&remaining);
        if (rc != KVTLNK_OK) {
            progress.end(true);
            throw libraryError(rc, "upload stopped after " + std::to_string(items - before) +
                                       " of " + std::to_string(items) + " items");
        }
        progress.update(items - remaining);
    }
    progress.end(false);
    return items;
}

}  // namespace kvtcli
