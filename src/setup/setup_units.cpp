// Temperature and pressure units, temperature standard and the thermocouple reference junction.
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
    s.outScaledMode = kScaleNone;
    s.outScaledP1 = 0.0f;
    s.outScaledP2 = 1.0f;
    s.clearOutputScale();
}

}  // namespace

void SetupState::setTempStd(uint32_t standard) {
    beginWrite();
    if (standard == tempStd) return;
    tempStd = standard;
    // The sensor conversions of the functions in use are redone by commit.
    if (outFunction == kFnTc || outFunction == kFn2wRtd) markChanged(kChangedOutput);
    if (isTemperatureFunction(inFunction)) markChanged(kChangedInput);
    afterChange();
}

void SetupState::setPresUnits(uint32_t units) {
    beginWrite();
    if (units == presUnits) return;
    presUnits = units;
    if (outFunction == kFnPressure) {
        // The source value is held in psi; only its range and display change.
        clearOutputScaling(*this);
        outUnits = units;
        buildPressureRange(*this, units);
        markChanged(kChangedOutput);
    }
    if (inFunction == kFnPressure) {
        clearInputScale();
        setInputFunction(kFnPressure, units);
    }
    afterChange();
}

void SetupState::setTempUnits(uint32_t units) {
    beginWrite();
    if (units == tempUnits) return;
    tempUnits = units;
    // Both reference-junction sides keep their mode and take the user temperature in the new
    // units.
    const float tref = convertTemp(kUnitCelsius, units, trefUser);
    outTrefValue = tref;
    outTrefUnits = units;
    markChanged(kChangedOutput);
    inTrefValue = tref;
    inTrefUnits = units;
    markChanged(kChangedInput);
    // A temperature source is re-sourced at the same temperature, then a temperature input is
    // re-selected; a refusal or warning of either stays in status.
    if (isTemperatureFunction(outFunction)) {
        clearOutputScaling(*this);
        outIncrement = 0.0f;
        setOutputValue(outFunction, units, convertTemp(outUnits, units, outValue));
    }
    if (isTemperatureFunction(inFunction)) {
        clearInputScale();
        setInputFunction(inFunction, units);
    }
    afterChange();
}

bool SetupState::setTrefMeasure() {
    beginWrite();
    if (outTrefMode != kTrefMeasure) {
        outTrefMode = kTrefMeasure;
        markChanged(kChangedOutput);
    }
    if (inTrefMode != kTrefMeasure) {
        inTrefMode = kTrefMeasure;
        markChanged(kChangedInput);
    }
    return true;
}

bool SetupState::setTrefUser(float temperature) {
    beginWrite();
    const float celsius = convertTemp(tempUnits, kUnitCelsius, temperature);
    // Written so that a NaN fails the test.
    if (!(celsius >= kTrefLowC && celsius <= kTrefHighC)) {
        return refuse(*this, kStatusTcConversion);
    }
    trefUser = celsius;
    outTrefMode = inTrefMode = kTrefUser;
    outTrefValue = inTrefValue = temperature;
    outTrefUnits = inTrefUnits = tempUnits;
    markChanged(kChangedOutput | kChangedInput);
    return true;
}

}  // namespace kvtlnk
