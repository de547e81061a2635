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
uint32_t shownUnits(const SetupState& s, bool (*isFamily)(uint32_t), uint32_t setupUnits) {
    if (isFamily(s.in().function)) return s.in().units;
    if (isFamily(s.out().function)) return s.out().units;
    return setupUnits;
}

bool isPressureFunction(uint32_t function) {
    return function == kFnPressure;
}

// The reference-junction temperature reported beside its mode: the side that measures or
// sources a thermocouple, else the user temperature in the current units.
float shownTref(const SetupState& s) {
    if (s.in().function == kFnTc) return s.in().tref.value;
    if (s.out().function == kFnTc) return s.out().tref.value;
    return convertTemp(kUnitCelsius, s.tempUnits, s.trefUser);
}

// Every setter ends here: the operation changes the object (marking what it changed), then the
// change is committed and its status reported as a result code.
template <class Operation>
uint32_t apply(SetupState& s, Operation operation) {
    operation();
    return finishSetter(s);
}

// The same for an operation given a looked-up code; a code that was not found is refused
// without touching the object.
template <class R>
uint32_t applyCode(SetupState& s, uint32_t code, uint32_t notFound,
                   R (SetupState::*operation)(uint32_t)) {
    if (code == notFound) return KVTLNK_E_ARGUMENT;
    return apply(s, [&] { (s.*operation)(code); });
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
    return apply(s, [&] {
        if (fn == kFnTc) {
            s.setInputTc(fn, type, 0);
        } else if (isRtdFunction(fn)) {
            s.setInputRtd(fn, type, 0);
        } else {
            s.setInputFunction(fn, 0);
        }
    });
}

uint32_t staSetInputRange(SetupState& s, uint32_t automatic, float value) {
    const uint32_t function = s.in().function, units = s.in().units;
    const bool ranged = function == kFnCurrent || function == kFnDcv || function == kFnAcv ||
                        (function >= kFn2wOhms && function <= kFn4wOhms);
    if (!ranged) return KVTLNK_E_INPUT_RANGE;
    uint32_t range = 0;
    if (automatic == 0) {
        range = findRange(inputRanges, s, function, units, 0, 0, value);
        if (range == 0) return KVTLNK_E_NO_VALUE;
    }
    return apply(s, [&] { s.setInputRange(range); });
}

uint32_t staSetOutput(SetupState& s, const char* function, const char* sensor, float value,
                      float amplitude) {
    const uint32_t fn = codeOf(kFunctionNames, function);
    uint32_t type = 0;
    if (fn == kFunctionNames.count || !sensorType(fn, sensor, &type)) return KVTLNK_E_ARGUMENT;
    return apply(s, [&] {
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
    });
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
    return apply(s, [&] { code == kTrefUser ? s.setTrefUser(temperature) : s.setTrefMeasure(); });
}

uint32_t staSetInputScale(SetupState& s, float first, float second) {
    return apply(s, [&] { s.storeInputScale(first, second); });
}

uint32_t staSetOutputScale(SetupState& s, float first, float second) {
    return apply(s, [&] { s.storeOutputScale(first, second); });
}

uint32_t staSetTestTolerance(SetupState& s, float tolerance) {
    return apply(s, [&] { s.storeTestTolerance(tolerance); });
}

char* staGetTempUnits(const SetupState& s, char* units) {
    return copyName(units, nameOf(kUnitNames, shownUnits(s, isTemperatureFunction, s.tempUnits)));
}

char* staGetPresUnits(const SetupState& s, char* units) {
    return copyName(units, nameOf(kUnitNames, shownUnits(s, isPressureFunction, s.presUnits)));
}

char* staGetTempStd(const SetupState& s, char* standard) {
    return copyName(standard, nameOf(kTempStdNames, s.tempStd));
}

char* staGetTref(const SetupState& s, char* mode, float* temperature) {
    copyName(mode, nameOf(kTrefModeNames, s.in().tref.mode));
    if (temperature != nullptr) *temperature = shownTref(s);
    return mode;
}

}  // namespace kvtlnk
