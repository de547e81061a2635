#include "setup/setup_functions.h"

#include "readings/units.h"
#include "setup/name_tables.h"

namespace kvtlnk {

namespace {

enum class Sensor : uint8_t { None, Tc, Rtd };

// What the calibrator allows for one function: the units it is shown in besides 0 (which stands
// for the first of them, or the current temperature or pressure units), the sensor it needs,
// whether it can be sourced, and the units of the electrical quantity behind it.
struct FunctionFacts {
    uint32_t unitsFirst;
    uint32_t unitsLast;
    Sensor sensor;
    bool sourced;
    uint32_t elecUnits;
};

constexpr FunctionFacts kFunctions[] = {
    {kUnitNone, kUnitNone, Sensor::None, true, kUnitNone},           // none
    {kUnitAmps, kUnitAmps, Sensor::None, true, kUnitAmps},           // current
    {kUnitVolts, kUnitVolts, Sensor::None, true, kUnitVolts},        // dcv
    {kUnitVolts, kUnitVolts, Sensor::None, false, kUnitVolts},       // acv
    {kUnitHertz, kUnitHertz, Sensor::None, true, kUnitHertz},        // freq
    {kUnitHertz, kUnitHertz, Sensor::None, false, kUnitHertz},       // freq_low
    {kUnitOhms, kUnitOhms, Sensor::None, true, kUnitOhms},           // 2w_ohms
    {kUnitOhms, kUnitOhms, Sensor::None, false, kUnitOhms},          // 3w_ohms
    {kUnitOhms, kUnitOhms, Sensor::None, false, kUnitOhms},          // 4w_ohms
    {kUnitOhms, kUnitOhms, Sensor::None, false, kUnitOhms},          // cont
    {kUnitCelsius, kUnitFahrenheit, Sensor::Tc, true, kUnitVolts},   // tc
    {kUnitCelsius, kUnitFahrenheit, Sensor::Rtd, true, kUnitOhms},   // 2w_rtd
    {kUnitCelsius, kUnitFahrenheit, Sensor::Rtd, false, kUnitOhms},  // 3w_rtd
    {kUnitCelsius, kUnitFahrenheit, Sensor::Rtd, false, kUnitOhms},  // 4w_rtd
    {kUnitPsi, kUnitKpa, Sensor::None, true, kUnitVolts},            // pressure
    {kUnitAmps, kUnitAmps, Sensor::None, true, kUnitAmps},           // current_sink
};
constexpr uint32_t kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

}  // namespace

bool isSourceFunction(uint32_t function) {
    return function < kFunctionCount && kFunctions[function].sourced;
}

uint16_t checkCombination(uint32_t function, uint32_t units, uint32_t tcType, uint32_t rtdType) {
    if (function >= kFunctionCount) return kStatusCombination;
    const FunctionFacts& f = kFunctions[function];
    const bool unitsFit = units == kUnitNone || (units >= f.unitsFirst && units <= f.unitsLast);
    const bool sensorFits =
        (f.sensor != Sensor::Tc || tcType != 0) && (f.sensor != Sensor::Rtd || rtdType != 0);
    return unitsFit && sensorFits ? 0 : kStatusCombination;
}

void SetupState::defaultUnits(uint32_t units, uint32_t function, uint32_t* stored,
                              uint32_t* electrical) const {
    const FunctionFacts& f = kFunctions[function < kFunctionCount ? function : kFnNone];
    *electrical = f.elecUnits;
    if (units != kUnitNone) {
        *stored = units;
    } else if (isTemperatureFunction(function)) {
        *stored = tempUnits;
    } else if (function == kFnPressure) {
        *stored = presUnits;
    } else {
        *stored = f.unitsFirst;
    }
}

}  // namespace kvtlnk
