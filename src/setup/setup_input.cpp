// The measure side: function, sensor and range selection.
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_functions.h"
#include "setup/setup_scaling.h"
#include "setup/setup_state.h"

namespace kvtlnk {

namespace {

// What every input function change does first: a new min/max record, no transfer function,
// and, for another function, no conversion error and no input scale.
void enterInputFunction(SetupState& s, uint32_t function) {
    s.restartMinMax(1);
    s.inScaledMode = kScaleNone;
    s.inScaledP1 = 0.0f;
    s.inScaledP2 = 1.0f;
    s.inFlagCounter = 0;
    if (function != s.inFunction) {
        s.inError = 0;
        s.clearInputScale();
    }
    s.inFunction = function;
}

// The range in which the calibrator measures a sensor's electrical quantity: the 100 mV range
// for a thermocouple; for an RTD the resistance range that holds its curve.
uint32_t sensorElectricalRange(uint32_t function, uint32_t type) {
    if (function == kFnTc) return 6;
    if (type >= 4 && type <= 6) return 11;  // 200, 500 and 1000 ohm platinum: 10 kilohm range
    if (type == 7) return 9;                // 10 ohm copper: 100 ohm range
    return 10;                              // 1 kilohm range
}

// Measures a tc or RTD sensor whose type the caller has checked and stored.
bool measureSensor(SetupState& s, uint32_t function, uint32_t type, uint32_t units) {
    enterInputFunction(s, function);
    s.inContMode = 0;
    s.defaultUnits(units, function, &s.inUnits, &s.inElecUnits);
    s.inAutoRange = 0;
    // The sensor's own temperature range: its number is the type code.
    const float start = defaultValue(inputRanges, s, function, s.inUnits, type);
    s.inRange = findRange(inputRanges, s, function, s.inUnits, type, 0, start);
    s.inRangeSetting = sensorElectricalRange(function, type);
    s.markChanged(kChangedInput);
    return settle(s, s.resolveAfterInput());
}

}  // namespace

void SetupState::restartMinMax(uint32_t on) {
    beginWrite();
    inMinMaxOn = on;
    clearMinMax();
}

bool SetupState::setInputFunction(uint32_t function, uint32_t units) {
    beginWrite();
    if (isRtdFunction(function)) return setInputRtd(function, inRtdType, units);
    if (function == kFnTc) return setInputTc(function, inTcType, units);
    if (function == kFnCurrentSink) return refuse(*this, kStatusCombination);
    if (uint16_t c = checkCombination(function, units, inTcType, inRtdType)) {
        return refuse(*this, c);
    }
    enterInputFunction(*this, function);
    inAutoRange = 1;
    inRange = inRangeSetting = 0;
    inContMode = function == kFnCont ? 1 : 0;
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    if (function == kFnPressure && u != inUnits) buildPressureRange(*this, u);
    inUnits = u;
    inElecUnits = e;
    markChanged(kChangedInput);
    return settle(*this, resolveAfterInput());
}

bool SetupState::setInputTc(uint32_t function, uint32_t type, uint32_t units) {
    beginWrite();
    if (uint16_t c = checkCombination(function, units, type, inRtdType)) return refuse(*this, c);
    if (function != kFnTc) return refuse(*this, kStatusCombination);
    inTcType = type;
    return measureSensor(*this, function, type, units);
}

bool SetupState::setInputRtd(uint32_t function, uint32_t type, uint32_t units) {
    beginWrite();
    if (uint16_t c = checkCombination(function, units, inTcType, type)) return refuse(*this, c);
    if (!isRtdFunction(function)) return refuse(*this, kStatusCombination);
    inRtdType = type;
    return measureSensor(*this, function, type, units);
}

bool SetupState::setInputRange(uint32_t range) {
    beginWrite();
    if (inFunction == kFnFreq || inFunction == kFnFreqLow || isTemperatureFunction(inFunction)) {
        return refuse(*this, kStatusInputRange);
    }
    const RangeGroup& group = findGroup(inputRanges, *this, inFunction, inUnits);
    if (range != 0 && (range < group.first || range > group.last)) {
        return refuse(*this, kStatusInputRange);
    }
    if (range != inRangeSetting) {
        inFlagCounter = 0;
        inReadingValid = 0;
    }
    inAutoRange = range == 0 ? 1 : 0;
    inRangeSetting = range;
    if (range != 0) inRange = range;
    markChanged(kChangedInput);
    return true;
}

}  // namespace kvtlnk
