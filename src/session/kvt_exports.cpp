// The KVT entry points: argument checks and the session's result codes.
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "session/session_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API void KVTLNK_CALL KVTversion(char* dst) {
    if (dst != nullptr) std::memcpy(dst, LIBRARY_VERSION, sizeof LIBRARY_VERSION);
}

KVTLNK_API uint32_t KVTLNK_CALL KVTsetVersion(const char* model, const char* firmwareVersion) {
    return guarded(KVTLNK_E_NOT_ACCEPTED,
                   [&] { return acceptCalibrator(theSession(), model, firmwareVersion); });
}

}  // extern "C"
