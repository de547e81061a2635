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
constexpr uint32_t kStepRunning = 4;  // a stepping output's state, kept by a new value
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
    s.outState.error = 0;
    s.outState.elecRange = 0;
    s.outScaled = TransferFunction{kScaleNone, 0.0f, 1.0f};
    s.outStep = OutputStepping();
    s.outStep.state = 0;
}

// The pressure source: the value goes to pressurePsi; the range is rebuilt for new units and
// rebuilt back when a pressure source in other units refuses the value.
bool placePressure(SetupState& s, uint32_t units, uint32_t start, float x) {
    const bool sameRange = s.out().function == kFnPressure && s.out().units == units;
    if (!sameRange) buildPressureRange(s, units);
    const uint32_t range = findRange(outputRanges, s, kFnPressure, units, 0, start, x);
    if (range == 0) {
        if (!sameRange && s.out().function == kFnPressure) buildPressureRange(s, s.out().units);
        return false;
    }
    OutputSettings& out = s.changeOutput();
    out.range = range;
    out.pressurePsi = convertPres(units, kUnitPsi, x);
    out.value = out.setValue = 0.0f;
    return true;
}

// Any other source: the range that takes x, and x rounded to that range's display resolution
// and kept inside its limits. v is the caller's (scaled) value, kind the sensor type.
bool placeValue(SetupState& s, uint32_t function, uint32_t units, uint32_t kind, uint32_t start,
                float x, float v) {
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
    OutputSettings& out = s.changeOutput();
    out.range = range;
    out.value = x;
    out.setValue = scaledMode(s.outScaled.mode) ? v : x;
    return true;
}

}  // namespace

bool SetupState::sourceValue(uint32_t function, uint32_t units, float value, uint32_t tcType,
                             uint32_t rtdType) {
    if (!isSourceFunction(function)) return refuse(*this, kStatusCombination);
    if (uint16_t c = checkCombination(function, units, tcType, rtdType)) return refuse(*this, c);
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    const bool newFunction = function != out().function;
    if (newFunction) resetOutputFunction(*this);
    if (scaledMode(outScaled.mode)) {
        value = roundThrough("%6.2f", value);
        if (outScaled.mode == kScalePercent && std::fabs(value) > kPercentLimit) {
            return refuse(*this, kStatusOutputRange);
        }
    }
    const float x = scaledToOutput(*this, value);
    const uint32_t start = newFunction ? 0 : out().range;
    const uint32_t kind = function == kFnTc ? tcType : isRtdFunction(function) ? rtdType : 0;
    if (function == kFnNone) {
        OutputSettings& out = changeOutput();
        out.range = 0;
        out.value = out.setValue = 0.0f;
    } else if (!(function == kFnPressure ? placePressure(*this, u, start, x)
                                         : placeValue(*this, function, u, kind, start, x, value))) {
        return refuse(*this, kStatusOutputRange);
    }
    if (outStep.state != kStepRunning) outStep.state = 0;
    OutputSettings& out = changeOutput();
    out.function = function;
    out.units = u;
    out.elecUnits = e;
    out.tcType = tcType;
    out.rtdType = rtdType;
    return settle(*this, resolveAfterOutput());
}

bool SetupState::setOutputValue(uint32_t function, uint32_t units, float value) {
    return sourceValue(function, units, value, out().tcType, out().rtdType);
}

bool SetupState::setOutputDefault(uint32_t function, uint32_t units) {
    uint32_t u = 0, e = 0;
    defaultUnits(units, function, &u, &e);
    uint32_t tcType = out().tcType, rtdType = out().rtdType, kind = 0;
    if (function == kFnTc) kind = tcType = 4;         // tc_k
    if (isRtdFunction(function)) kind = rtdType = 1;  // rtd_pt100_392
    const float start = defaultValue(outputRanges, *this, function, u, kind);
    const bool made = sourceValue(function, units, start, tcType, rtdType);
    changeOutput().pressurePsi = kInfinity;  // a pressure source starts without a value
    return made;
}

bool SetupState::setOutputFreq(uint32_t function, uint32_t units, float value, float amplitude) {
    if (function != kFnFreq) return refuse(*this, kStatusCombination);
    if (findRange(outputRanges, *this, kFnAcv, kUnitVolts, 0, 0, amplitude) == 0) {
        return refuse(*this, kStatusOutputRange);
    }
    const bool made = setOutputValue(kFnFreq, units, value);
    if (made || status < kStatusFirstError) changeOutput().freqAmplitude = amplitude;
    return made;
}

// A refused sensor type never becomes the source's: the old one stays.
bool SetupState::setOutputTc(uint32_t function, uint32_t type, uint32_t units, float value) {
    if (function != kFnTc) return refuse(*this, kStatusCombination);
    return sourceValue(function, units, value, type, out().rtdType);
}

bool SetupState::setOutputRtd(uint32_t function, uint32_t type, uint32_t units, float value) {
    if (function != kFn2wRtd) return refuse(*this, kStatusCombination);
    return sourceValue(function, units, value, out().tcType, type);
}

}  // namespace kvtlnk
