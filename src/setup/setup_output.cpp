// The source side: function, sensor and value selection.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "readings/number_format.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_functions.h"
#include "setup/setup_scaling.h"
#include "setup/setup_state.h"

namespace kvtlnk {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr uint32_t kStepRunning = 4;  // outStepState of a stepping output, kept by a new value
constexpr float kPercentLimit = 1000.0f;

// The value as the display shows it: printed with the format and read back.
float roundThrough(const char* format, float value) {
    char text[64];  // room for the largest single printed with two decimals
    formatNumber(format, text, sizeof text, value, 0);
    return std::strtof(text, nullptr);
}

bool scaledMode(uint32_t mode) {
    return mode >= kScaleLinear && mode <= kScalePercent;
}

// A new source function starts without scaling, stepping or increment.
void resetOutputFunction(SetupState& s) {
    s.clearOutputScale();
    s.outError = 0;
    s.outElecRange = 0;
    s.outScaledMode = kScaleNone;
    s.outScaledP1 = 0.0f;
    s.outScaledP2 = 1.0f;
    s.outStepState = 0;
    s.outStepIndex = s.outStepTotal = 0;
    s.outStepSize = kInfinity;
    s.outStepLow = s.outStepHigh = 0.0f;
    s.outStepDwell = 0;
    s.outIncrement = 0.0f;
}

// The pressure source: the value goes to outPressurePsi; the range is rebuilt for new units and
// rebuilt back when a pressure source in other units refuses the value.
bool placePressure(SetupState& s, uint32_t units, uint32_t start, float x) {
    const bool sameRange = s.outFunction == kFnPressure && s.outUnits == units;
    if (!sameRange) buildPressureRange(s, units);
    const uint32_t range = findRange(outputRanges, s, kFnPressure, units, 0, start, x);
    if (range == 0) {
        if (!sameRange && s.outFunction == kFnPressure) buildPressureRange(s, s.outUnits);
        return false;
    }
    s.outRange = range;
    s.outPressurePsi = convertPres(units, kUnitPsi, x);
    s.outValue = s.outSetValue = 0.0f;
    return true;
}

// Any other source: the range that takes x, and x rounded to that range's display resolution
// and kept inside its limits. v is the caller's (scaled) value.
bool placeValue(SetupState& s, uint32_t function, uint32_t units, uint32_t start, float x,
                float v) {
    const uint32_t kind = function == kFnTc         ? s.outTcType
                          : isRtdFunction(function) ? s.outRtdType
                                                    : 0;
    const uint32_t range = findRange(outputRanges, s, function, units, kind, start, x);
    if (range == 0) return false;
    const RangeGroup& group = findGroup(outputRanges, s, function, units);
    const RangeEntry& entry = rangeEntry(group, range, kind);
    prefixFromBase(&x, entry.prefix);
    x = roundThrough(entry.format, x);
    prefixToBase(&x, entry.prefix);
    const float magnitude =
        std::fmin(std::fmax(group.isSigned ? x : std::fabs(x), entry.low), entry.high);
    x = group.isSigned ? magnitude : std::copysign(magnitude, x);
    s.outRange = range;
    s.outValue = x;
    s.outSetValue = scaledMode(s.outScaledMode) ? v : x;
    return true;
}

// The old sensor type comes back when the new one was refused.
bool sourceSensor(SetupState& s, uint32_t* typeField, uint32_t type, uint32_t function,
                  uint32_t units, float value) {
    const uint32_t old = *typeField;
    *typeField = type;
    const bool made = s.setOutputValue(function, units, value);
    if (!made && s.status >= kStatusFirstError) *typeField = old;
    return made;
}

}  // namespace

bool SetupState::setOutputValue(uint32_t function, uint32_t units, float value) {
    beginWrite();
    if (!isSourceFunction(function)) return refuse(*this, kStatusCombination);
    if (uint16_t c = checkCombination(function, units, outTcType, outRtdType)) {
        return refuse(*this, c);
    }
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    const bool newFunction = function != outFunction;
    if (newFunction) resetOutputFunction(*this);
    if (scaledMode(outScaledMode)) {
        value = roundThrough("%6.2f", value);
        if (outScaledMode == kScalePercent && std::fabs(value) > kPercentLimit) {
            return refuse(*this, kStatusOutputRange);
        }
    }
    const float x = scaledToOutput(*this, value);
    const uint32_t start = newFunction ? 0 : outRange;
    if (function == kFnNone) {
        outRange = 0;
        outValue = outSetValue = 0.0f;
    } else if (!(function == kFnPressure ? placePressure(*this, u, start, x)
                                         : placeValue(*this, function, u, start, x, value))) {
        return refuse(*this, kStatusOutputRange);
    }
    if (outStepState != kStepRunning) outStepState = 0;
    outFunction = function;
    outUnits = u;
    outElecUnits = e;
    markChanged(kChangedOutput);
    return settle(*this, resolveAfterOutput());
}

bool SetupState::setOutputDefault(uint32_t function, uint32_t units) {
    beginWrite();
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    uint32_t kind = 0;
    if (function == kFnTc) kind = outTcType = 4;         // tc_k
    if (isRtdFunction(function)) kind = outRtdType = 1;  // rtd_pt100_392
    const float start = defaultValue(outputRanges, *this, function, u, kind);
    const bool made = setOutputValue(function, units, start);
    outPressurePsi = kInfinity;  // a pressure source starts without a value
    return made;
}

bool SetupState::setOutputFreq(uint32_t function, uint32_t units, float value, float amplitude) {
    beginWrite();
    if (function != kFnFreq) return refuse(*this, kStatusCombination);
    if (findRange(outputRanges, *this, kFnAcv, kUnitVolts, 0, 0, amplitude) == 0) {
        return refuse(*this, kStatusOutputRange);
    }
    const bool made = setOutputValue(kFnFreq, units, value);
    if (made || status < kStatusFirstError) outFreqAmplitude = amplitude;
    return made;
}

bool SetupState::setOutputTc(uint32_t function, uint32_t type, uint32_t units, float value) {
    beginWrite();
    if (function != kFnTc) return refuse(*this, kStatusCombination);
    return sourceSensor(*this, &outTcType, type, function, units, value);
}

bool SetupState::setOutputRtd(uint32_t function, uint32_t type, uint32_t units, float value) {
    beginWrite();
    if (function != kFn2wRtd) return refuse(*this, kStatusCombination);
    return sourceSensor(*this, &outRtdType, type, function, units, value);
}

}  // namespace kvtlnk
