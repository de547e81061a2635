// The STA setters by name: the name look-ups, the object's operation, the commit and the result
// code; and the getters of the names in force.
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/commit.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/sta_calls.h"

namespace kvtlnk {

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

// Runs an object operation and commits it.
template <class R, class... Params, class... Args>
uint32_t apply(SetupState& s, R (SetupState::*operation)(Params...), Args... args) {
    (s.*operation)(args...);
    return finishSetter(s);
}

// The same for an operation given a looked-up code; a code that was not found is refused
// without touching the object.
template <class R>
uint32_t applyCode(SetupState& s, uint32_t code, uint32_t notFound,
                   R (SetupState::*operation)(uint32_t)) {
    return code == notFound ? KVTLNK_E_ARGUMENT : apply(s, operation, code);
}

// Copies a name (or "" for a code without one) into the caller's buffer.
char* copyName(char* dst, const char* name) {
    std::strcpy(dst, name != nullptr ? name : "");
    return dst;
}

}  // namespace

uint32_t staInit(SetupState& s) {
    return initSetup(s) ? 1u : 0u;
}

uint32_t staSetInput(SetupState& s, const char* function, const char* sensor) {
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

uint32_t staSetInputRange(SetupState& s, uint32_t automatic, float value) {
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

uint32_t staSetOutput(SetupState& s, const char* function, const char* sensor, float value,
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

uint32_t staSetLoopPower(SetupState& s, const char* loopPower) {
    return applyCode(s, codeOf(kLoopPowerNames, loopPower), kLoopPowerNames.count,
                     &SetupState::setLoopPower);
}

uint32_t staSetTempUnits(SetupState& s, const char* units) {
    return applyCode(s, unitsIn(units, kUnitCelsius, kUnitFahrenheit), kUnitNames.count,
                     &SetupState::setTempUnits);
}

uint32_t staSetPresUnits(SetupState& s, const char* units) {
    return applyCode(s, unitsIn(units, kUnitPsi, kUnitKpa), kUnitNames.count,
                     &SetupState::setPresUnits);
}

uint32_t staSetTempStd(SetupState& s, const char* standard) {
    return applyCode(s, codeOf(kTempStdNames, standard), kTempStdNames.count,
                     &SetupState::setTempStd);
}

uint32_t staSetTref(SetupState& s, const char* mode, float temperature) {
    const uint32_t code = codeOf(kTrefModeNames, mode);
    if (code == kTrefModeNames.count) return KVTLNK_E_ARGUMENT;
    return code == kTrefUser ? apply(s, &SetupState::setTrefUser, temperature)
                             : apply(s, &SetupState::setTrefMeasure);
}

uint32_t staSetInputScale(SetupState& s, float first, float second) {
    return apply(s, &SetupState::storeInputScale, first, second);
}

uint32_t staSetOutputScale(SetupState& s, float first, float second) {
    return apply(s, &SetupState::storeOutputScale, first, second);
}

uint32_t staSetTestTolerance(SetupState& s, float tolerance) {
    return apply(s, &SetupState::storeTestTolerance, tolerance);
}

char* staGetTempUnits(SetupState& s, char* units) {
    return copyName(units, nameOf(kUnitNames, shownUnits(s, isTemperatureFunction,
                                                         &SetupState::readTempUnits)));
}

char* staGetPresUnits(SetupState& s, char* units) {
    return copyName(
        units, nameOf(kUnitNames, shownUnits(s, isPressureFunction, &SetupState::readPresUnits)));
}

char* staGetTempStd(SetupState& s, char* standard) {
    uint32_t code = 0;
    s.readTempStd(&code);
    return copyName(standard, nameOf(kTempStdNames, code));
}

char* staGetTref(SetupState& s, char* mode, float* temperature) {
    uint32_t code = 0;
    s.readInTrefMode(&code);
    copyName(mode, nameOf(kTrefModeNames, code));
    if (temperature != nullptr) *temperature = shownTref(s);
    return mode;
}

}  // namespace kvtlnk
