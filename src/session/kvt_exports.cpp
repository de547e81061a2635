// The KVT entry points: the library version, the acceptance of a calibrator, and the session
// with it. Each runs the session operation on the process's session and image.
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "session/session_calls.h"
#include "session/session_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

// Identification texts are cut to the size the public header promises for them.
constexpr size_t kIdentTextSize = 128;

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
        return openSession(theSession(), baud, portName, readTimeoutMs, retries);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclose(void) {
    return guarded(KVTLNK_OK, [&] { return closeSession(theSession()); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTgetK2x(char* model, char* ident3, char* firmwareVersion,
                                          uint32_t* edValue, uint32_t* procItems,
                                          uint32_t* resultItems) {
    return guarded(KVTLNK_E_NO_REPLY, [&] {
        const Identity id{model,          kIdentTextSize,  ident3,
                          kIdentTextSize, firmwareVersion, kIdentTextSize};
        return getK2x(theSession(), id, edValue, procItems, resultItems);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTmemstats(uint32_t* field3Total, uint32_t* field4Total) {
    return guarded(KVTLNK_E_NO_REPLY,
                   [&] { return memStats(theSession(), field3Total, field4Total); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStart(uint32_t* itemCount) {
    return guarded(KVTLNK_E_IMAGE,
                   [&] { return downloadStart(theSession(), theImage(), itemCount); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStep(uint32_t* remaining) {
    return guarded(KVTLNK_E_IMAGE,
                   [&] { return downloadStep(theSession(), theImage(), remaining); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclear(void) {
    return guarded(KVTLNK_E_NO_REPLY, [&] { return clearProcedures(theSession()); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStart(uint32_t* itemCount) {
    return guarded(KVTLNK_E_IMAGE,
                   [&] { return uploadStart(theSession(), theImage(), itemCount); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStep(uint32_t* remaining) {
    return guarded(KVTLNK_E_IMAGE, [&] { return uploadStep(theSession(), theImage(), remaining); });
}

}  // extern "C"
