// The STA entry points that read the log a setup restore brought into the library's setup.
#include "api/boundary.h"
#include "setup/sta_calls.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogData(uint32_t* count, uint32_t* interval,
                                              uint32_t* requested) {
    return exported(Call(__func__, count, interval, requested), [&](Library& lib) {
        return staGetLogData(lib.setup, count, interval, requested);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogStart(uint32_t* year, uint32_t* month, uint32_t* day,
                                               uint32_t* hour, uint32_t* minute, uint32_t* second) {
    return exported(Call(__func__, year, month, day, hour, minute, second), [&](Library& lib) {
        return staGetLogStart(lib.setup, year, month, day, hour, minute, second);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogMinMax(float* minimum, float* maximum) {
    return exported(Call(__func__, minimum, maximum),
                    [&](Library& lib) { return staGetLogMinMax(lib.setup, minimum, maximum); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLoggedData(uint32_t index, uint32_t* valid, float* value) {
    return exported(Call(__func__, index, valid, value),
                    [&](Library& lib) { return staGetLoggedData(lib.setup, index, valid, value); });
}

}  // extern "C"
