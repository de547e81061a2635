// The STA entry points of the setup: name checks, the object's operation on theSetupState,
// and the result code.
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/commit.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

// The sensor type code of a tc or RTD function (0 for other functions, whose sensor name is
// not looked at); false when the name is not in the sensor's table.
bool sensorType(uint32_t function, const char* sensor, uint32_t* type) {
    const NameTable* table = function == kFnTc         ? &kTcNames
                             : isRtdFunction(function) ? &kRtdNames
                                                       : nullptr;
    *type = table != nullptr ? codeOf(*table, sensor) : 0;
    return table == nullptr || *type != table->count;
}

uint32_t setInput(SetupState& s, const char* function, const char* sensor) {
    const uint32_t fn = codeOf(kFunctionNames, function);
    uint32_t type = 0;
    if (fn == kFunctionNames.count || !sensorType(fn, sensor, &type)) return KVTLNK_E_ARGUMENT;
    if (fn == kFnTc) {
        s.setInputTc(fn, type, 0);
    } else if (isRtdFunction(fn)) {
        s.setInputRtd(fn, type, 0);
    } else {
        s.setInputFunction(fn, 0);
    }
    return finishSetter(s);
}

uint32_t setOutput(SetupState& s, const char* function, const char* sensor, float value,
                   float amplitude) {
    const uint32_t fn = codeOf(kFunctionNames, function);
    uint32_t type = 0;
    if (fn == kFunctionNames.count || !sensorType(fn, sensor, &type)) return KVTLNK_E_ARGUMENT;
    if (fn == kFnFreq) {
        s.setOutputFreq(fn, 0, value, amplitude);
    } else if (fn == kFnTc) {
        s.setOutputTc(fn, type, 0, value);
    } else if (isRtdFunction(fn)) {
        s.setOutputRtd(fn, type, 0, value);
    } else if (fn == kFnPressure) {
        s.setOutputDefault(fn, 0);  // a pressure source starts at its default
    } else {
        s.setOutputValue(fn, 0, value);
    }
    return finishSetter(s);
}

uint32_t setInputRange(SetupState& s, uint32_t automatic, float value) {
    uint32_t function = 0, units = 0;
    s.readInFunction(&function);
    s.readInUnits(&units);
    const bool ranged = function == kFnCurrent || function == kFnDcv || function == kFnAcv ||
                        (function >= kFn2wOhms && function <= kFn4wOhms);
    if (!ranged) return KVTLNK_E_INPUT_RANGE;
    uint32_t range = 0;
    if (automatic == 0) {
        range = findRange(inputRanges, s, function, units, 0, 0, value);
        if (range == 0) return KVTLNK_E_NO_VALUE;
    }
    s.setInputRange(range);
    return finishSetter(s);
}

// A units name of the family [first, last], or the table's count.
uint32_t unitsIn(const char* name, uint32_t first, uint32_t last) {
    const uint32_t code = codeOf(kUnitNames, name);
    return code >= first && code <= last ? code : kUnitNames.count;
}

// The units a temperature or pressure is shown in: those of the input when it measures one,
// else of the output when it sources one, else the setup's own.
uint32_t shownUnits(SetupState& s, bool (*isFamily)(uint32_t),
                    void (SetupState::*setupUnits)(uint32_t*)) {
    uint32_t function = 0, units = 0;
    s.readInFunction(&function);
    if (isFamily(function)) {
        s.readInUnits(&units);
        return units;
    }
    s.readOutFunction(&function);
    if (isFamily(function)) {
        s.readOutUnits(&units);
        return units;
    }
    (s.*setupUnits)(&units);
    return units;
}

bool isPressureFunction(uint32_t function) {
    return function == kFnPressure;
}

// The reference-junction temperature reported beside its mode: the side that measures or
// sources a thermocouple, else the user temperature in the current units.
float shownTref(SetupState& s) {
    uint32_t in = 0, out = 0, units = 0;
    float inValue = 0.0f, outValue = 0.0f, user = 0.0f;
    s.readInFunction(&in);
    s.readOutFunction(&out);
    s.readTrefValues(&inValue, &outValue);
    s.readTrefUser(&user, &units);
    return in == kFnTc ? inValue : out == kFnTc ? outValue : user;
}

// What a setter reports should anything throw; nothing on these paths does.
constexpr uint32_t kInternalFailure = KVTLNK_E_STATUS_15000;

// Runs an object operation on theSetupState and commits it.
template <class R, class... Params, class... Args>
uint32_t apply(R (SetupState::*operation)(Params...), Args... args) {
    SetupState& s = theSetupState();
    (s.*operation)(args...);
    return finishSetter(s);
}

// The same for an operation given a looked-up code; a code that was not found is refused
// without touching the object.
template <class R>
uint32_t applyCode(uint32_t code, uint32_t notFound, R (SetupState::*operation)(uint32_t)) {
    return code == notFound ? KVTLNK_E_ARGUMENT : apply(operation, code);
}

// Copies a name (or "" for a code without one) into the caller's buffer.
char* copyName(char* dst, const char* name) {
    std::strcpy(dst, name != nullptr ? name : "");
    return dst;
}

// Runs a getter that fills a caller's name buffer; a null buffer gets nothing.
template <class Body>
char* nameGetter(char* dst, Body&& body) {
    if (dst == nullptr) return nullptr;
    guardedVoid([&] { body(); });
    return dst;
}

}  // namespace

extern "C" {

// Resets the setup and commits it; reports success as 1.
KVTLNK_API uint32_t KVTLNK_CALL STAinit(void) {
    return guarded(0, [] { return initSetup(theSetupState()) ? 1u : 0u; });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInput(const char* function, const char* sensor) {
    return guarded(kInternalFailure, [&] { return setInput(theSetupState(), function, sensor); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInputRange(uint32_t automatic, float value) {
    return guarded(kInternalFailure,
                   [&] { return setInputRange(theSetupState(), automatic, value); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetOutput(const char* function, const char* sensor, float value,
                                             float amplitude) {
    return guarded(kInternalFailure,
                   [&] { return setOutput(theSetupState(), function, sensor, value, amplitude); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetLoopPower(const char* loopPower) {
    return guarded(kInternalFailure, [&] {
        return applyCode(codeOf(kLoopPowerNames, loopPower), kLoopPowerNames.count,
                         &SetupState::setLoopPower);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTempUnits(const char* units) {
    return guarded(kInternalFailure, [&] {
        return applyCode(unitsIn(units, kUnitCelsius, kUnitFahrenheit), kUnitNames.count,
                         &SetupState::setTempUnits);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetPresUnits(const char* units) {
    return guarded(kInternalFailure, [&] {
        return applyCode(unitsIn(units, kUnitPsi, kUnitKpa), kUnitNames.count,
                         &SetupState::setPresUnits);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTempStd(const char* standard) {
    return guarded(kInternalFailure, [&] {
        return applyCode(codeOf(kTempStdNames, standard), kTempStdNames.count,
                         &SetupState::setTempStd);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTref(const char* mode, float temperature) {
    return guarded(kInternalFailure, [&] {
        const uint32_t code = codeOf(kTrefModeNames, mode);
        if (code == kTrefModeNames.count) return KVTLNK_E_ARGUMENT;
        return code == kTrefUser ? apply(&SetupState::setTrefUser, temperature)
                                 : apply(&SetupState::setTrefMeasure);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetInputScale(float first, float second) {
    return guarded(kInternalFailure,
                   [&] { return apply(&SetupState::storeInputScale, first, second); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetOutputScale(float first, float second) {
    return guarded(kInternalFailure,
                   [&] { return apply(&SetupState::storeOutputScale, first, second); });
}

KVTLNK_API uint32_t KVTLNK_CALL STAsetTestTolerance(float tolerance) {
    return guarded(kInternalFailure,
                   [&] { return apply(&SetupState::storeTestTolerance, tolerance); });
}

KVTLNK_API char* KVTLNK_CALL STAgetTempUnits(char* units) {
    return nameGetter(units, [&] {
        copyName(units, nameOf(kUnitNames, shownUnits(theSetupState(), isTemperatureFunction,
                                                      &SetupState::readTempUnits)));
    });
}

KVTLNK_API char* KVTLNK_CALL STAgetPresUnits(char* units) {
    return nameGetter(units, [&] {
        copyName(units, nameOf(kUnitNames, shownUnits(theSetupState(), isPressureFunction,
                                                      &SetupState::readPresUnits)));
    });
}

KVTLNK_API char* KVTLNK_CALL STAgetTempStd(char* standard) {
    return nameGetter(standard, [&] {
        uint32_t code = 0;
        theSetupState().readTempStd(&code);
        copyName(standard, nameOf(kTempStdNames, code));
    });
}

KVTLNK_API char* KVTLNK_CALL STAgetTref(char* mode, float* temperature) {
    return nameGetter(mode, [&] {
        uint32_t code = 0;
        theSetupState().readInTrefMode(&code);
        copyName(mode, nameOf(kTrefModeNames, code));
        if (temperature != nullptr) *temperature = shownTref(theSetupState());
    });
}

}  // extern "C"
