// The STA getters of the setup: readings and their display strings, the input range, loop power,
// transfer functions, scales, tolerance and the pressure module. A null pointer for an output
// leaves that output out.
#include "kvtlnk/kvtlnk.h"
#include "setup/display_record.h"
#include "setup/sta_calls.h"
#include "support/outputs.h"

namespace kvtlnk {

namespace {

void putText(char* out, const char* text, size_t size) {
    if (out != nullptr) copyText(out, text, size);
}

void putDisplay(const TextTables& tables, char* out, const DisplayRecord& record, Blank blank) {
    if (out != nullptr) composeDisplay(tables, record, blank, out);
}

void putNames(char* function, char* sensor, const SideNames& names) {
    putText(function, names.function, KVTLNK_NAME_SIZE);
    putText(sensor, names.sensor, KVTLNK_NAME_SIZE);
}

}  // namespace

uint32_t staGetInput(SetupState& s, char* function, char* sensor, uint32_t* valid,
                     uint32_t* settled, float* primary, float* secondary) {
    putNames(function, sensor, inputNames(s));
    bool isSettled;
    const DisplayRecord first = readInputPrimary(s, &isSettled);
    put(valid, first.valid ? 1u : 0u);
    put(settled, isSettled ? 1u : 0u);
    put(primary, baseValue(first));
    put(secondary, baseValue(readInputSecondary(s)));
    return inputResult(s);
}

uint32_t staGetOutput(SetupState& s, char* function, char* sensor, uint32_t* set,
                      uint32_t* confirmed, float* primary, float* secondary) {
    putNames(function, sensor, outputNames(s));
    bool isConfirmed;
    const DisplayRecord first = readOutputPrimary(s, &isConfirmed);
    put(set, first.valid ? 1u : 0u);
    put(confirmed, isConfirmed ? 1u : 0u);
    put(primary, baseValue(first));
    put(secondary, baseValue(readOutputSecondary(s)));
    return outputResult(s);
}

uint32_t staGetMinMax(SetupState& s, float* maximum, float* minimum) {
    const MinMaxRecords m = readMinMax(s);
    put(maximum, baseValue(m.maximum));
    put(minimum, baseValue(m.minimum));
    return inputResult(s);
}

uint32_t staGetInputString(SetupState& s, const TextTables& tables, char* primary,
                           char* secondary) {
    bool settled;
    putDisplay(tables, primary, readInputPrimary(s, &settled), Blank::Format);
    putDisplay(tables, secondary, readInputSecondary(s), Blank::Empty);
    return inputResult(s);
}

uint32_t staGetOutputString(SetupState& s, const TextTables& tables, char* primary,
                            char* secondary) {
    bool confirmed;
    putDisplay(tables, primary, readOutputPrimary(s, &confirmed), Blank::Format);
    putDisplay(tables, secondary, readOutputSecondary(s), Blank::Empty);
    return outputResult(s);
}

uint32_t staGetMinMaxString(SetupState& s, const TextTables& tables, char* maximum, char* minimum) {
    const MinMaxRecords m = readMinMax(s);
    putDisplay(tables, maximum, m.maximum, Blank::Empty);
    putDisplay(tables, minimum, m.minimum, Blank::Empty);
    return inputResult(s);
}

void staGetInputRange(SetupState& s, uint32_t* automatic, float* highLimit) {
    bool isAutomatic;
    const float high = inputRangeHigh(s, &isAutomatic);
    put(automatic, isAutomatic ? 1u : 0u);
    put(highLimit, high);
}

void staGetLoopPower(SetupState& s, char* loopPower) {
    putText(loopPower, loopPowerName(s), KVTLNK_NAME_SIZE);
}

void staGetScaled(SetupState& s, uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                  float* outP1, float* outP2) {
    uint32_t mode;
    float p1, p2;
    s.readOutScaled(&mode, &p1, &p2);
    put(outOn, mode != 0 ? 1u : 0u);
    put(outP1, p1);
    put(outP2, p2);
    s.readInScaled(&mode, &p1, &p2);
    put(inOn, mode != 0 ? 1u : 0u);
    put(inP1, p1);
    put(inP2, p2);
}

void staGetInputScale(SetupState& s, float* first, float* second) {
    float low, high;
    uint16_t on;
    s.readInputScale(&low, &high, &on);
    put(first, low);
    put(second, high);
}

void staGetOutputScale(SetupState& s, float* first, float* second) {
    float low, high;
    uint16_t on;
    s.readOutputScale(&low, &high, &on);
    put(first, low);
    put(second, high);
}

void staGetTestTolerance(SetupState& s, float* tolerance) {
    float value;
    uint16_t on;
    s.readTestTolerance(&value, &on);
    put(tolerance, value);
}

void staGetPressure(SetupState& s, char* text1, char* text2, uint32_t* present) {
    const char* second;
    const char* first;
    s.readPressureTexts(&first, &second);
    uint16_t attached;
    s.readPressureModulePresent(&attached);
    // The object's texts are fixed arrays that a restored record may fill to the end.
    static_assert(sizeof s.pressureText2 == KVTLNK_PRESSURE_TEXT_SIZE, "first text");
    putText(text1, first, sizeof s.pressureText2);
    putText(text2, second, sizeof s.pressureText1);
    put(present, attached != 0 ? 1u : 0u);
}

}  // namespace kvtlnk
