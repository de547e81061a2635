#include "setup/setup_state.h"

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_scaling.h"

namespace kvtlnk {

namespace {

constexpr uint32_t kPressureRange = 7;

}  // namespace

PressureRange::PressureRange()
    : entry{0, format, kPrefixPressure, 0.0f, 0.0f}, group{&entry, kPressureRange, kPressureRange,
                                                           1,      kFnPressure,    kUnitPsi} {}

SetupState::SetupState(float* logBuffer, uint32_t logCapacity) {
    log.buffer = logBuffer;
    log.capacity = logCapacity;
    log.startTime = log.lastTime = emptyStamp();
    // Give the pressure range the default module's limits in psi until a setter chooses.
    buildPressureRange(*this, presUnits);
}

void SetupState::resetSetup() {
    tempStd = kStdIts90;
    trefUser = 23.0f;
    setupCode = 0;
    status = 0;
    changeInput() = InputSettings();
    changeOutput() = OutputSettings();
    inReadings = InputReadings();
    inScale = Scale();
    inScaled = TransferFunction();
    minMax = MinMaxRecord();
    outState = OutputState();
    outScale = Scale();
    outScaled = TransferFunction();
    outStep = OutputStepping();
    tolerance = TestTolerance();
    module = PressureModule();
    log.interval = log.requested = log.count = 0;
    changeFlags_ = 0;
}

uint32_t SetupState::pressureSide() const {
    if (out().function == kFnPressure) return kPressureOutput;
    if (in().function == kFnPressure) return kPressureInput;
    return kPressureNone;
}

uint16_t SetupState::takeStatus() {
    const uint16_t s = status;
    status = 0;
    return s;
}

void SetupState::storeInputScale(float a, float b) {
    inScale = Scale{a, b, 1};
}

void SetupState::storeOutputScale(float a, float b) {
    outScale = Scale{a, b, 1};
}

void SetupState::clearInputScale() {
    inScale.on = 0;
    tolerance.on = 0;
}

void SetupState::clearOutputScale() {
    outScale.on = 0;
    tolerance.on = 0;
}

void SetupState::storeTestTolerance(float value) {
    tolerance = TestTolerance{value, 1};
}

void SetupState::restartMinMax(uint32_t on) {
    minMax = MinMaxRecord();
    minMax.on = on;
}

}  // namespace kvtlnk
