// The KVT entry points: the library version, the acceptance of a calibrator, and the session
// with it. Each runs the session operation on the process's session, link and image.
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "session/session_calls.h"
#include "session/session_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

// Identification texts are cut to the size the public header promises for them.
constexpr size_t kIdentTextSize = 128;

// Runs a session operation over the link's packet port. The port exists from KVTopen to
// KVTclose; without it no session is open.
template <typename Operation>
uint32_t overLink(uint32_t onException, Operation operation) {
    return guarded(onException, [&] {
        PacketPort* port = theLink().port();
        return port != nullptr ? operation(theSession(), *port) : KVTLNK_E_NO_SESSION;
    });
}

}  // namespace

extern "C" {

KVTLNK_API void KVTLNK_CALL KVTversion(char* dst) {
    if (dst != nullptr) std::memcpy(dst, LIBRARY_VERSION, sizeof LIBRARY_VERSION);
}

KVTLNK_API uint32_t KVTLNK_CALL KVTsetVersion(const char* model, const char* firmwareVersion) {
    return guarded(KVTLNK_E_NOT_ACCEPTED,
                   [&] { return acceptCalibrator(theSession(), model, firmwareVersion); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTopen(int32_t baud, const char* portName, uint32_t readTimeoutMs,
                                        int32_t retries) {
    return guarded(KVTLNK_E_NO_SESSION, [&] {
        return openSession(theSession(), theLink(), baud, portName, readTimeoutMs, retries);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclose(void) {
    return guarded(KVTLNK_OK, [&] { return closeSession(theSession(), theLink()); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTgetK2x(char* model, char* ident3, char* firmwareVersion,
                                          uint32_t* edValue, uint32_t* procItems,
                                          uint32_t* resultItems) {
    return overLink(KVTLNK_E_NO_REPLY, [&](SessionState& s, PacketPort& port) {
        const Identity id{model,          kIdentTextSize,  ident3,
                          kIdentTextSize, firmwareVersion, kIdentTextSize};
        return getK2x(s, port, id, edValue, procItems, resultItems);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTmemstats(uint32_t* field3Total, uint32_t* field4Total) {
    return overLink(KVTLNK_E_NO_REPLY, [&](SessionState& s, PacketPort& port) {
        return memStats(s, port, field3Total, field4Total);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStart(uint32_t* itemCount) {
    return overLink(KVTLNK_E_IMAGE, [&](SessionState& s, PacketPort& port) {
        return downloadStart(s, port, theImage(), itemCount);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStep(uint32_t* remaining) {
    return overLink(KVTLNK_E_IMAGE, [&](SessionState& s, PacketPort& port) {
        return downloadStep(s, port, theImage(), remaining);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclear(void) {
    return overLink(KVTLNK_E_NO_REPLY,
                    [&](SessionState& s, PacketPort& port) { return clearProcedures(s, port); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStart(uint32_t* itemCount) {
    return overLink(KVTLNK_E_IMAGE, [&](SessionState& s, PacketPort& port) {
        return uploadStart(s, port, theImage(), itemCount);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStep(uint32_t* remaining) {
    return overLink(KVTLNK_E_IMAGE, [&](SessionState& s, PacketPort& port) {
        return uploadStep(s, port, theImage(), remaining);
    });
}

}  // extern "C"
