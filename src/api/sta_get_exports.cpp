// The STA entry points that report the setup: readings and their display strings, settings,
// and the names of the units, standard and reference junction in force. Each runs the STA call
// on the library's setup (and its text tables).
#include "api/boundary.h"
#include "setup/sta_calls.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL STAgetInput(char* function, char* sensor, uint32_t* valid,
                                            uint32_t* settled, float* primary, float* secondary) {
    return exported(
        Call(__func__, function, sensor, valid, settled, primary, secondary), [&](Library& lib) {
            return staGetInput(lib.setup, function, sensor, valid, settled, primary, secondary);
        });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetOutput(char* function, char* sensor, uint32_t* set,
                                             uint32_t* confirmed, float* primary,
                                             float* secondary) {
    return exported(
        Call(__func__, function, sensor, set, confirmed, primary, secondary), [&](Library& lib) {
            return staGetOutput(lib.setup, function, sensor, set, confirmed, primary, secondary);
        });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMax(float* maximum, float* minimum) {
    return exported(Call(__func__, maximum, minimum),
                    [&](Library& lib) { return staGetMinMax(lib.setup, maximum, minimum); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetInputString(char* primary, char* secondary) {
    return exported(Call(__func__, primary, secondary), [&](Library& lib) {
        return staGetInputString(lib.setup, lib.textTables, primary, secondary);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetOutputString(char* primary, char* secondary) {
    return exported(Call(__func__, primary, secondary), [&](Library& lib) {
        return staGetOutputString(lib.setup, lib.textTables, primary, secondary);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMaxString(char* maximum, char* minimum) {
    return exported(Call(__func__, maximum, minimum), [&](Library& lib) {
        return staGetMinMaxString(lib.setup, lib.textTables, maximum, minimum);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetInputRange(uint32_t* automatic, float* highLimit) {
    exported(Call(__func__, automatic, highLimit),
             [&](Library& lib) { staGetInputRange(lib.setup, automatic, highLimit); });
}

KVTLNK_API void KVTLNK_CALL STAgetLoopPower(char* loopPower) {
    exported(Call(__func__, loopPower),
             [&](Library& lib) { staGetLoopPower(lib.setup, loopPower); });
}

KVTLNK_API void KVTLNK_CALL STAgetScaled(uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                                         float* outP1, float* outP2) {
    exported(Call(__func__, inOn, inP1, inP2, outOn, outP1, outP2),
             [&](Library& lib) { staGetScaled(lib.setup, inOn, inP1, inP2, outOn, outP1, outP2); });
}

KVTLNK_API void KVTLNK_CALL STAgetInputScale(float* first, float* second) {
    exported(Call(__func__, first, second),
             [&](Library& lib) { staGetInputScale(lib.setup, first, second); });
}

KVTLNK_API void KVTLNK_CALL STAgetOutputScale(float* first, float* second) {
    exported(Call(__func__, first, second),
             [&](Library& lib) { staGetOutputScale(lib.setup, first, second); });
}

KVTLNK_API void KVTLNK_CALL STAgetTestTolerance(float* tolerance) {
    exported(Call(__func__, tolerance),
             [&](Library& lib) { staGetTestTolerance(lib.setup, tolerance); });
}

KVTLNK_API void KVTLNK_CALL STAgetPressure(char* text1, char* text2, uint32_t* present) {
    exported(Call(__func__, text1, text2, present),
             [&](Library& lib) { staGetPressure(lib.setup, text1, text2, present); });
}

KVTLNK_API char* KVTLNK_CALL STAgetTempUnits(char* units) {
    return exported(Call(__func__, units).needs(units),
                    [&](Library& lib) { return staGetTempUnits(lib.setup, units); });
}

KVTLNK_API char* KVTLNK_CALL STAgetPresUnits(char* units) {
    return exported(Call(__func__, units).needs(units),
                    [&](Library& lib) { return staGetPresUnits(lib.setup, units); });
}

KVTLNK_API char* KVTLNK_CALL STAgetTempStd(char* standard) {
    return exported(Call(__func__, standard).needs(standard),
                    [&](Library& lib) { return staGetTempStd(lib.setup, standard); });
}

KVTLNK_API char* KVTLNK_CALL STAgetTref(char* mode, float* temperature) {
    return exported(Call(__func__, mode, temperature).needs(mode),
                    [&](Library& lib) { return staGetTref(lib.setup, mode, temperature); });
}

}  // extern "C"
