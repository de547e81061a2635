#include "setup/commit.h"

#include "readings/sensor_curves.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"

namespace kvtlnk {

namespace {

// How the electrical value of a temperature source is found and which source ranges hold it.
struct SourceSensor {
    bool (*convert)(CurveStandard standard, uint32_t type, float t, float tRef, float* value);
    uint32_t maxType;
    uint32_t elecFunction;
    uint32_t elecUnits;
    uint16_t errorCode;
};

bool tcSource(CurveStandard standard, uint32_t type, float t, float tRef, float* volts) {
    return tcEmf(standard, type, t, tRef, volts);
}
bool rtdSource(CurveStandard standard, uint32_t type, float t, float, float* ohms) {
    return rtdOhms(standard, type, t, ohms);
}

constexpr SourceSensor kTcSource = {tcSource, 11, kFnDcv, kUnitVolts, kStatusTcConversion};
constexpr SourceSensor kRtdSource = {rtdSource, 8, kFn2wOhms, kUnitOhms, kStatusRtdConversion};

// The electrical value and range of a temperature source. A value that cannot be computed, or
// that fits no source range, falls back to the ranges' default value and leaves the sensor's
// error code in status and outState.error until a later recompute succeeds.
void sourceSensorValue(SetupState& s, const SourceSensor& sensor, uint32_t type) {
    OutputState& o = s.outState;
    bool failed = false;
    o.elecValue = 0.0f;
    if (type >= 1 && type <= sensor.maxType) {
        const CurveStandard standard =
            s.tempStd == kStdIpts68 ? CurveStandard::IPTS68 : CurveStandard::ITS90;
        float value = 0.0f;
        if (sensor.convert(standard, type, o.valueC, o.trefC, &value)) {
            o.elecValue = value;
        } else {
            s.status = sensor.errorCode;
            failed = true;
        }
    }
    o.elecRange = findRange(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0, o.elecRange,
                            o.elecValue);
    if (o.elecRange == 0) {
        s.status = sensor.errorCode;
        failed = true;
        o.elecValue = defaultValue(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0);
        o.elecRange = findRange(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0,
                                o.elecRange, o.elecValue);
    }
    if (failed) {
        o.error = sensor.errorCode;
    } else if (o.error == sensor.errorCode) {
        o.error = 0;
    }
}

}  // namespace

void updateOutputTref(SetupState& s) {
    const ReferenceJunction& tref = s.out().tref;
    if (tref.mode == kTrefUser)
        s.outState.trefC = convertTemp(tref.units, kUnitCelsius, tref.value);
}

void updateInputTref(SetupState& s) {
    const ReferenceJunction& tref = s.in().tref;
    if (tref.mode == kTrefUser)
        s.inReadings.trefC = convertTemp(tref.units, kUnitCelsius, tref.value);
}

void updateSourceTemp(SetupState& s) {
    const OutputSettings& out = s.out();
    if (isTemperatureFunction(out.function)) {
        s.outState.valueC = convertTemp(out.units, kUnitCelsius, out.value);
    } else if (out.function == kFnPressure) {
        s.outState.valueC = 0.0f;
    } else {
        s.outState.valueC = out.value;
    }
}

void updateSourceElectrical(SetupState& s) {
    const OutputSettings& out = s.out();
    OutputState& o = s.outState;
    if (out.function == kFnTc) {
        sourceSensorValue(s, kTcSource, out.tcType);
    } else if (isRtdFunction(out.function)) {
        sourceSensorValue(s, kRtdSource, out.rtdType);
    } else if (out.function == kFnPressure) {
        o.elecValue = o.valueC;
    } else {
        o.elecValue = o.valueC;
        o.elecRange =
            findRange(outputRanges, s, out.function, out.elecUnits, 0, o.elecRange, o.elecValue);
    }
}

bool SetupState::commit() {
    if (changeFlags_ != 0) {
        if (changeFlags_ & kChangedOutput) {
            updateOutputTref(*this);
            updateSourceTemp(*this);
            updateSourceElectrical(*this);
            markChanged(kChangedOutputState);
        }
        if (changeFlags_ & kChangedOutputState) outState.changed = 1;
        if (changeFlags_ & kChangedInput) {
            updateInputTref(*this);
            markChanged(kChangedInputState);
        }
        changeFlags_ = 0;
    }
    return status == 0;
}

uint32_t finishSetter(SetupState& state) {
    if (state.commit()) return 0;
    return statusToResult(state.takeStatus());
}

bool initSetup(SetupState& state) {
    state.resetSetup();
    state.presUnits = kUnitPsi;
    state.tempUnits = kUnitCelsius;
    state.tempStd = kStdIts90;
    state.markChanged(kChangedOutput | kChangedInput);
    state.setupCode = 5;
    return state.commit();
}

}  // namespace kvtlnk
