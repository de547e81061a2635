#include "setup/setup_state.h"

#include <cstring>
#include <limits>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_scaling.h"

namespace kvtlnk {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr uint32_t kPressureRange = 7;

}  // namespace

SetupState::SetupState(float* logBuffer, uint32_t logCapacity)
    : logBuffer(logBuffer),
      logCapacity(logCapacity),
      logStartTime(emptyStamp()),
      logLastTime(emptyStamp()),
      pressureFormat{},
      pressureRangeEntry{0, pressureFormat, kPrefixPressure, 0.0f, 0.0f},
      pressureRanges{&pressureRangeEntry, kPressureRange, kPressureRange, 1,
                     kFnPressure,         kUnitPsi} {
    resetSetup();
    presUnits = kUnitPsi;
    tempUnits = kUnitCelsius;
    // Give the pressure range the default module's limits in psi until a setter chooses.
    buildPressureRange(*this, presUnits);
}

void SetupState::resetSetup() {
    tempStd = kStdIts90;
    trefUser = 23.0f;
    inRawReading = inFreqReading = inContReading = inTrefC = 0.0f;
    logInterval = logRequested = logCount = 0;
    inMax = -kInfinity;
    inMaxRange = 0;
    inMin = kInfinity;
    inMinRange = 0;
    inScaleLow = inScaleHigh = 0.0f;
    inScaleOn = 0;
    inScaledP1 = inScaledP2 = 0.0f;
    inRange = inFreqRange = inElecUnits = inUnits = 0;
    inTrefUnits = kUnitCelsius;
    inFunction = inScaledMode = inTcType = inRtdType = inRangeSetting = 0;
    inTrefMode = kTrefMeasure;
    inContMode = 0;
    inMinMaxOn = 1;
    inAutoRange = 1;
    inOffsetOn = 0;
    inOffset = 0.0f;
    inReadingValid = 0;
    inTrefValue = inValue = inUnscaledValue = inLogValue = inDisplayValue = inPercentError = 0.0f;
    inFlagCounter = 0;

    outChanged = 0;
    outConfirmed = 1;
    outSetValue = outFreqAmplitude = outTrefC = outScaleLow = outScaleHigh = 0.0f;
    outScaleOn = 0;
    outStepLow = 0.0f;
    outStepSize = kInfinity;
    outStepHigh = 0.0f;
    outStepIndex = outStepTotal = 0;
    outStepState = 1;
    outStepDwell = 0;
    outScaledP1 = outScaledP2 = outIncrement = 0.0f;
    outElecUnits = outUnits = 0;
    outTrefUnits = kUnitCelsius;
    outFunction = outScaledMode = outTcType = outRtdType = outRange = 0;
    outTrefMode = kTrefMeasure;
    outValue = outTrefValue = outValueC = outElecValue = 0.0f;
    outElecRange = 0;

    loopPower = kLoopOff;
    setupCode = 0;
    testTolOn = 0;
    testTolerance = 0.0f;
    pressureModuleId = 0;
    std::memset(pressureText1, 0, sizeof pressureText1);
    std::memset(pressureText2, 0, sizeof pressureText2);
    pressureHigh = 10000.0f;
    pressureLow = -100.0f;
    pressureCode = 0xFFFF;
    outPressurePsi = kInfinity;
    pressureRefPsi = 0.0f;
    pressureModulePresent = 0;
    status = outError = inError = 0;
    pressureSide = kPressureNone;
    changeFlags = 0;
}

void SetupState::markChanged(uint32_t bits) {
    if (outFunction == kFnPressure) {
        pressureSide = kPressureOutput;
    } else if (inFunction == kFnPressure) {
        pressureSide = kPressureInput;
    } else {
        pressureSide = kPressureNone;
    }
    changeFlags |= bits;
}

uint16_t SetupState::takeStatus() {
    beginRead();
    const uint16_t s = status;
    status = 0;
    endRead();
    return s;
}

void SetupState::readInputRange(uint32_t* range, uint16_t* autoRange) {
    beginRead();
    *range = inRange;
    *autoRange = inAutoRange;
    endRead();
}

void SetupState::readInFunction(uint32_t* function) {
    beginRead();
    *function = inFunction;
    endRead();
}

void SetupState::readInUnits(uint32_t* units) {
    beginRead();
    *units = inUnits;
    endRead();
}

void SetupState::readInTc(uint32_t* function, uint32_t* tcType) {
    beginRead();
    *function = inFunction;
    *tcType = inTcType;
    endRead();
}

void SetupState::readInRtd(uint32_t* function, uint32_t* rtdType) {
    beginRead();
    *function = inFunction;
    *rtdType = inRtdType;
    endRead();
}

void SetupState::readInTrefMode(uint32_t* mode) {
    beginRead();
    *mode = inTrefMode;
    endRead();
}

void SetupState::readInScaled(uint32_t* mode, float* p1, float* p2) {
    beginRead();
    *mode = inScaledMode;
    *p1 = inScaledP1;
    *p2 = inScaledP2;
    endRead();
}

void SetupState::readOutFunction(uint32_t* function) {
    beginRead();
    *function = outFunction;
    endRead();
}

void SetupState::readOutUnits(uint32_t* units) {
    beginRead();
    *units = outUnits;
    endRead();
}

void SetupState::readOutTcType(uint32_t* tcType) {
    beginRead();
    *tcType = outTcType;
    endRead();
}

void SetupState::readOutRtdType(uint32_t* rtdType) {
    beginRead();
    *rtdType = outRtdType;
    endRead();
}

void SetupState::readOutScaled(uint32_t* mode, float* p1, float* p2) {
    beginRead();
    *mode = outScaledMode;
    *p1 = outScaledP1;
    *p2 = outScaledP2;
    endRead();
}

void SetupState::readPressureTexts(const char** text2, const char** text1) {
    beginRead();
    *text2 = pressureText2;
    *text1 = pressureText1;
    endRead();
}

void SetupState::readPressureModulePresent(uint16_t* present) {
    beginRead();
    *present = pressureModulePresent;
    endRead();
}

void SetupState::readTrefUser(float* temperature, uint32_t* units) {
    beginRead();
    *temperature = convertTemp(kUnitCelsius, tempUnits, trefUser);
    *units = tempUnits;
    endRead();
}

void SetupState::readTrefValues(float* inValue, float* outValue) {
    beginRead();
    *inValue = inTrefValue;
    *outValue = outTrefValue;
    endRead();
}

void SetupState::readTempStd(uint32_t* standard) {
    beginRead();
    *standard = tempStd;
    endRead();
}

void SetupState::readPresUnits(uint32_t* units) {
    beginRead();
    *units = presUnits;
    endRead();
}

void SetupState::readTempUnits(uint32_t* units) {
    beginRead();
    *units = tempUnits;
    endRead();
}

void SetupState::readInputScale(float* low, float* high, uint16_t* on) {
    beginRead();
    *low = inScaleLow;
    *high = inScaleHigh;
    *on = inScaleOn;
    endRead();
}

void SetupState::readOutputScale(float* low, float* high, uint16_t* on) {
    beginRead();
    *low = outScaleLow;
    *high = outScaleHigh;
    *on = outScaleOn;
    endRead();
}

void SetupState::readTestTolerance(float* tolerance, uint16_t* on) {
    beginRead();
    *tolerance = testTolerance;
    *on = testTolOn;
    endRead();
}

void SetupState::storeInputScale(float a, float b) {
    beginWrite();
    inScaleLow = a;
    inScaleHigh = b;
    inScaleOn = 1;
}

void SetupState::storeOutputScale(float a, float b) {
    beginWrite();
    outScaleLow = a;
    outScaleHigh = b;
    outScaleOn = 1;
}

void SetupState::clearInputScale() {
    beginWrite();
    inScaleOn = 0;
    testTolOn = 0;
}

void SetupState::clearOutputScale() {
    beginWrite();
    outScaleOn = 0;
    testTolOn = 0;
}

void SetupState::storeTestTolerance(float tolerance) {
    beginWrite();
    testTolerance = tolerance;
    testTolOn = 1;
}

void SetupState::clearMinMax() {
    beginWrite();
    inMax = -kInfinity;
    inMin = kInfinity;
    inMaxRange = inMinRange = 0;
}

}  // namespace kvtlnk
