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
// error code in status and outError until a later recompute succeeds.
void sourceSensorValue(SetupState& s, const SourceSensor& sensor, uint32_t type) {
    bool failed = false;
    s.outElecValue = 0.0f;
    if (type >= 1 && type <= sensor.maxType) {
        const CurveStandard standard =
            s.tempStd == kStdIpts68 ? CurveStandard::IPTS68 : CurveStandard::ITS90;
        float value = 0.0f;
        if (sensor.convert(standard, type, s.outValueC, s.outTrefC, &value)) {
            s.outElecValue = value;
        } else {
            s.status = sensor.errorCode;
            failed = true;
        }
    }
    s.outElecRange = findRange(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0,
                               s.outElecRange, s.outElecValue);
    if (s.outElecRange == 0) {
        s.status = sensor.errorCode;
        failed = true;
        s.outElecValue = defaultValue(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0);
        s.outElecRange = findRange(outputRanges, s, sensor.elecFunction, sensor.elecUnits, 0,
                                   s.outElecRange, s.outElecValue);
    }
    if (failed) {
        s.outError = sensor.errorCode;
    } else if (s.outError == sensor.errorCode) {
        s.outError = 0;
    }
}

}  // namespace

void updateOutputTref(SetupState& s) {
    if (s.outTrefMode == kTrefUser)
        s.outTrefC = convertTemp(s.outTrefUnits, kUnitCelsius, s.outTrefValue);
}

void updateInputTref(SetupState& s) {
    if (s.inTrefMode == kTrefUser)
        s.inTrefC = convertTemp(s.inTrefUnits, kUnitCelsius, s.inTrefValue);
}

void updateSourceTemp(SetupState& s) {
    if (isTemperatureFunction(s.outFunction)) {
        s.outValueC = convertTemp(s.outUnits, kUnitCelsius, s.outValue);
    } else if (s.outFunction == kFnPressure) {
        s.outValueC = 0.0f;
    } else {
        s.outValueC = s.outValue;
    }
}

void updateSourceElectrical(SetupState& s) {
    if (s.outFunction == kFnTc) {
        sourceSensorValue(s, kTcSource, s.outTcType);
    } else if (isRtdFunction(s.outFunction)) {
        sourceSensorValue(s, kRtdSource, s.outRtdType);
    } else if (s.outFunction == kFnPressure) {
        s.outElecValue = s.outValueC;
    } else {
        s.outElecValue = s.outValueC;
        s.outElecRange = findRange(outputRanges, s, s.outFunction, s.outElecUnits, 0,
                                   s.outElecRange, s.outElecValue);
    }
}

bool SetupState::commit() {
    beginWrite();
    if (changeFlags != 0) {
        if (changeFlags & kChangedOutput) {
            updateOutputTref(*this);
            updateSourceTemp(*this);
            updateSourceElectrical(*this);
            markChanged(kChangedOutputState);
        }
        if (changeFlags & kChangedOutputState) outChanged = 1;
        if (changeFlags & kChangedInput) {
            updateInputTref(*this);
            markChanged(kChangedInputState);
        }
        changeFlags = 0;
    }
    endWrite();
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
    state.beginWrite();
    state.setupCode = 5;
    return state.commit();
}

}  // namespace kvtlnk
