// The STA entry points that change the setup, and those that save it into the image and
// restore it from there: each runs the STA call on the library's setup.
#include "api/boundary.h"
#include "memory/setup_record.h"
#include "setup/sta_calls.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL STAinit(void) {
    return exported(Call(__func__), [](Library& lib) { return staInit(lib.setup); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInput(const char* function, const char* sensor) {
    return exported(Call(__func__, function, sensor),
                    [&](Library& lib) { return staSetInput(lib.setup, function, sensor); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInputRange(uint32_t automatic, float value) {
    return exported(Call(__func__, automatic, value),
                    [&](Library& lib) { return staSetInputRange(lib.setup, automatic, value); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetOutput(const char* function, const char* sensor, float value,
                                             float amplitude) {
    return exported(Call(__func__, function, sensor, value, amplitude), [&](Library& lib) {
        return staSetOutput(lib.setup, function, sensor, value, amplitude);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetLoopPower(const char* loopPower) {
    return exported(Call(__func__, loopPower),
                    [&](Library& lib) { return staSetLoopPower(lib.setup, loopPower); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTempUnits(const char* units) {
    return exported(Call(__func__, units),
                    [&](Library& lib) { return staSetTempUnits(lib.setup, units); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetPresUnits(const char* units) {
    return exported(Call(__func__, units),
                    [&](Library& lib) { return staSetPresUnits(lib.setup, units); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTempStd(const char* standard) {
    return exported(Call(__func__, standard),
                    [&](Library& lib) { return staSetTempStd(lib.setup, standard); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTref(const char* mode, float temperature) {
    return exported(Call(__func__, mode, temperature),
                    [&](Library& lib) { return staSetTref(lib.setup, mode, temperature); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInputScale(float first, float second) {
    return exported(Call(__func__, first, second),
                    [&](Library& lib) { return staSetInputScale(lib.setup, first, second); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetOutputScale(float first, float second) {
    return exported(Call(__func__, first, second),
                    [&](Library& lib) { return staSetOutputScale(lib.setup, first, second); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTestTolerance(float tolerance) {
    return exported(Call(__func__, tolerance),
                    [&](Library& lib) { return staSetTestTolerance(lib.setup, tolerance); });
}

// Saving keeps the record only when the accepted calibrator's firmware can take it.
KVTLNK_API uint32_t KVTLNK_CALL STAsave(int32_t* index) {
    return exported(Call(__func__, index).needs(index), [&](Library& lib) {
        return staSave(lib.setup, lib.image, lib.session.firmwareLevel, index);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STArestore(int32_t resultsIndex) {
    return exported(Call(__func__, resultsIndex),
                    [&](Library& lib) { return staRestore(lib.setup, lib.image, resultsIndex); });
}

}  // extern "C"
