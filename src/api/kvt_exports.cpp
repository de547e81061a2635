// The KVT entry points: the library version, the acceptance of a calibrator, and the session
// with it over the library's link, on the library's session and image.
#include <cstring>

#include "api/boundary.h"
#include "session/session_calls.h"

using namespace kvtlnk;

namespace {

// Identification texts are cut to the size the public header promises for them.
constexpr size_t kIdentTextSize = 128;

}  // namespace

extern "C" {

KVTLNK_API void KVTLNK_CALL KVTversion(char* dst) {
    exported(Call(__func__, dst).needs(dst),
             [&](Library&) { std::memcpy(dst, LIBRARY_VERSION, sizeof LIBRARY_VERSION); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTsetVersion(const char* model, const char* firmwareVersion) {
    return exported(Call(__func__, model, firmwareVersion), [&](Library& lib) {
        return acceptCalibrator(lib.session, model, firmwareVersion);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTopen(int32_t baud, const char* portName, uint32_t readTimeoutMs,
                                        int32_t retries) {
    return exported(Call(__func__, baud, portName, readTimeoutMs, retries), [&](Library& lib) {
        return openSession(lib.session, lib.link, baud, portName, readTimeoutMs, retries);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclose(void) {
    return exported(Call(__func__),
                    [](Library& lib) { return closeSession(lib.session, lib.link); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVTgetK2x(char* model, char* ident3, char* firmwareVersion,
                                          uint32_t* edValue, uint32_t* procItems,
                                          uint32_t* resultItems) {
    return exported(Call(__func__, model, ident3, firmwareVersion, edValue, procItems, resultItems),
                    overLink([&](Library& lib, PacketPort& port) {
                        const Identity id{model,          kIdentTextSize,  ident3,
                                          kIdentTextSize, firmwareVersion, kIdentTextSize};
                        return getK2x(lib.session, port, id, edValue, procItems, resultItems);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTmemstats(uint32_t* field3Total, uint32_t* field4Total) {
    return exported(Call(__func__, field3Total, field4Total),
                    overLink([&](Library& lib, PacketPort& port) {
                        return memStats(lib.session, port, field3Total, field4Total);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStart(uint32_t* itemCount) {
    return exported(Call(__func__, itemCount), overLink([&](Library& lib, PacketPort& port) {
                        return downloadStart(lib.session, port, lib.image, itemCount);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStep(uint32_t* remaining) {
    return exported(Call(__func__, remaining), overLink([&](Library& lib, PacketPort& port) {
                        return downloadStep(lib.session, port, lib.image, remaining);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTclear(void) {
    return exported(Call(__func__), overLink([](Library& lib, PacketPort& port) {
                        return clearProcedures(lib.session, port);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStart(uint32_t* itemCount) {
    return exported(Call(__func__, itemCount), overLink([&](Library& lib, PacketPort& port) {
                        return uploadStart(lib.session, port, lib.image, itemCount);
                    }));
}

KVTLNK_API uint32_t KVTLNK_CALL KVTuplStep(uint32_t* remaining) {
    return exported(Call(__func__, remaining), overLink([&](Library& lib, PacketPort& port) {
                        return uploadStep(lib.session, port, lib.image, remaining);
                    }));
}

}  // extern "C"
