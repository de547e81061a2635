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
// and, for another function, no conversion error and no input scale. Returns the settings with
// the new function, marked changed.
InputSettings& enterInputFunction(SetupState& s, uint32_t function) {
    s.restartMinMax(1);
    s.inScaled = TransferFunction{kScaleNone, 0.0f, 1.0f};
    s.inReadings.flagCounter = 0;
    if (function != s.in().function) {
        s.inReadings.error = 0;
        s.clearInputScale();
    }
    InputSettings& in = s.changeInput();
    in.function = function;
    return in;
}

// The range in which the calibrator measures a sensor's electrical quantity: the 100 mV range
// for a thermocouple; for an RTD the resistance range that holds its curve.
uint32_t sensorElectricalRange(uint32_t function, uint32_t type) {
    if (function == kFnTc) return 6;
    if (type >= 4 && type <= 6) return 11;  // 200, 500 and 1000 ohm platinum: 10 kilohm range
    if (type == 7) return 9;                // 10 ohm copper: 100 ohm range
    return 10;                              // 1 kilohm range
}

// Measures a tc or RTD sensor of a type the caller has checked.
bool measureSensor(SetupState& s, uint32_t function, uint32_t type, uint32_t units) {
    InputSettings& in = enterInputFunction(s, function);
    (function == kFnTc ? in.tcType : in.rtdType) = type;
    in.contMode = 0;
    s.defaultUnits(units, function, &in.units, &in.elecUnits);
    in.autoRange = 0;
    // The sensor's own temperature range: its number is the type code.
    const float start = defaultValue(inputRanges, s, function, in.units, type);
    in.range = findRange(inputRanges, s, function, in.units, type, 0, start);
    in.rangeSetting = sensorElectricalRange(function, type);
    return settle(s, s.resolveAfterInput());
}

}  // namespace

bool SetupState::setInputFunction(uint32_t function, uint32_t units) {
    if (isRtdFunction(function)) return setInputRtd(function, in().rtdType, units);
    if (function == kFnTc) return setInputTc(function, in().tcType, units);
    if (function == kFnCurrentSink) return refuse(*this, kStatusCombination);
    if (uint16_t c = checkCombination(function, units, in().tcType, in().rtdType)) {
        return refuse(*this, c);
    }
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    if (function == kFnPressure && u != in().units) buildPressureRange(*this, u);
    InputSettings& in = enterInputFunction(*this, function);
    in.autoRange = 1;
    in.range = in.rangeSetting = 0;
    in.contMode = function == kFnCont ? 1 : 0;
    in.units = u;
    in.elecUnits = e;
    return settle(*this, resolveAfterInput());
}

bool SetupState::setInputTc(uint32_t function, uint32_t type, uint32_t units) {
    if (uint16_t c = checkCombination(function, units, type, in().rtdType)) {
        return refuse(*this, c);
    }
    if (function != kFnTc) return refuse(*this, kStatusCombination);
    return measureSensor(*this, function, type, units);
}

bool SetupState::setInputRtd(uint32_t function, uint32_t type, uint32_t units) {
    if (uint16_t c = checkCombination(function, units, in().tcType, type)) {
        return refuse(*this, c);
    }
    if (!isRtdFunction(function)) return refuse(*this, kStatusCombination);
    return measureSensor(*this, function, type, units);
}

bool SetupState::setInputRange(uint32_t range) {
    const uint32_t function = in().function;
    if (function == kFnFreq || function == kFnFreqLow || isTemperatureFunction(function)) {
        return refuse(*this, kStatusInputRange);
    }
    const RangeGroup& group = findGroup(inputRanges, *this, function, in().units);
    if (range != 0 && (range < group.first || range > group.last)) {
        return refuse(*this, kStatusInputRange);
    }
    if (range != in().rangeSetting) {
        inReadings.flagCounter = 0;
        inReadings.valid = 0;
    }
    InputSettings& in = changeInput();
    in.autoRange = range == 0 ? 1 : 0;
    in.rangeSetting = range;
    if (range != 0) in.range = range;
    return true;
}

}  // namespace kvtlnk
