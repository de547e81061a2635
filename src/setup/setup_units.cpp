// Temperature and pressure units, temperature standard and the thermocouple reference junction.
#include <initializer_list>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_functions.h"
#include "setup/setup_scaling.h"
#include "setup/setup_state.h"

namespace kvtlnk {

namespace {

constexpr float kTrefLowC = -100.0f;
constexpr float kTrefHighC = 400.0f;

// The output's transfer function and scale do not survive a change of its units.
void clearOutputScaling(SetupState& s) {
    s.outScaled = TransferFunction{kScaleNone, 0.0f, 1.0f};
    s.clearOutputScale();
}

}  // namespace

void SetupState::setTempStd(uint32_t standard) {
    if (standard == tempStd) return;
    tempStd = standard;
    // The sensor conversions of the functions in use are redone by commit.
    if (out().function == kFnTc || out().function == kFn2wRtd) markChanged(kChangedOutput);
    if (isTemperatureFunction(in().function)) markChanged(kChangedInput);
}

void SetupState::setPresUnits(uint32_t units) {
    if (units == presUnits) return;
    presUnits = units;
    if (out().function == kFnPressure) {
        // The source value is held in psi; only its range and display change.
        clearOutputScaling(*this);
        changeOutput().units = units;
        buildPressureRange(*this, units);
    }
    if (in().function == kFnPressure) {
        clearInputScale();
        setInputFunction(kFnPressure, units);
    }
}

void SetupState::setTempUnits(uint32_t units) {
    if (units == tempUnits) return;
    tempUnits = units;
    // Both reference-junction sides keep their mode and take the user temperature in the new
    // units.
    const float tref = convertTemp(kUnitCelsius, units, trefUser);
    for (ReferenceJunction* side : {&changeOutput().tref, &changeInput().tref}) {
        side->value = tref;
        side->units = units;
    }
    // A temperature source is re-sourced at the same temperature, then a temperature input is
    // re-selected; a refusal or warning of either stays in status.
    if (isTemperatureFunction(out().function)) {
        clearOutputScaling(*this);
        outStep.increment = 0.0f;
        setOutputValue(out().function, units, convertTemp(out().units, units, out().value));
    }
    if (isTemperatureFunction(in().function)) {
        clearInputScale();
        setInputFunction(in().function, units);
    }
}

bool SetupState::setTrefMeasure() {
    if (out().tref.mode != kTrefMeasure) changeOutput().tref.mode = kTrefMeasure;
    if (in().tref.mode != kTrefMeasure) changeInput().tref.mode = kTrefMeasure;
    return true;
}

bool SetupState::setTrefUser(float temperature) {
    const float celsius = convertTemp(tempUnits, kUnitCelsius, temperature);
    // Written so that a NaN fails the test.
    if (!(celsius >= kTrefLowC && celsius <= kTrefHighC)) {
        return refuse(*this, kStatusTcConversion);
    }
    trefUser = celsius;
    const ReferenceJunction user{kTrefUser, temperature, tempUnits};
    changeOutput().tref = user;
    changeInput().tref = user;
    return true;
}

}  // namespace kvtlnk
