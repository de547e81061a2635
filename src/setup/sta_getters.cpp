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

uint32_t staGetInput(const SetupState& s, char* function, char* sensor, uint32_t* valid,
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

uint32_t staGetOutput(const SetupState& s, char* function, char* sensor, uint32_t* set,
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

uint32_t staGetMinMax(const SetupState& s, float* maximum, float* minimum) {
    const MinMaxRecords m = readMinMax(s);
    put(maximum, baseValue(m.maximum));
    put(minimum, baseValue(m.minimum));
    return inputResult(s);
}

uint32_t staGetInputString(const SetupState& s, const TextTables& tables, char* primary,
                           char* secondary) {
    bool settled;
    putDisplay(tables, primary, readInputPrimary(s, &settled), Blank::Format);
    putDisplay(tables, secondary, readInputSecondary(s), Blank::Empty);
    return inputResult(s);
}

uint32_t staGetOutputString(const SetupState& s, const TextTables& tables, char* primary,
                            char* secondary) {
    bool confirmed;
    putDisplay(tables, primary, readOutputPrimary(s, &confirmed), Blank::Format);
    putDisplay(tables, secondary, readOutputSecondary(s), Blank::Empty);
    return outputResult(s);
}

uint32_t staGetMinMaxString(const SetupState& s, const TextTables& tables, char* maximum,
                            char* minimum) {
    const MinMaxRecords m = readMinMax(s);
    putDisplay(tables, maximum, m.maximum, Blank::Empty);
    putDisplay(tables, minimum, m.minimum, Blank::Empty);
    return inputResult(s);
}

void staGetInputRange(const SetupState& s, uint32_t* automatic, float* highLimit) {
    bool isAutomatic;
    const float high = inputRangeHigh(s, &isAutomatic);
    put(automatic, isAutomatic ? 1u : 0u);
    put(highLimit, high);
}

void staGetLoopPower(const SetupState& s, char* loopPower) {
    putText(loopPower, loopPowerName(s), KVTLNK_NAME_SIZE);
}

void staGetScaled(const SetupState& s, uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                  float* outP1, float* outP2) {
    put(outOn, s.outScaled.mode != 0 ? 1u : 0u);
    put(outP1, s.outScaled.p1);
    put(outP2, s.outScaled.p2);
    put(inOn, s.inScaled.mode != 0 ? 1u : 0u);
    put(inP1, s.inScaled.p1);
    put(inP2, s.inScaled.p2);
}

void staGetInputScale(const SetupState& s, float* first, float* second) {
    put(first, s.inScale.low);
    put(second, s.inScale.high);
}

void staGetOutputScale(const SetupState& s, float* first, float* second) {
    put(first, s.outScale.low);
    put(second, s.outScale.high);
}

void staGetTestTolerance(const SetupState& s, float* tolerance) {
    put(tolerance, s.tolerance.value);
}

void staGetPressure(const SetupState& s, char* text1, char* text2, uint32_t* present) {
    // The module's texts are fixed arrays that a restored record may fill to the end; the
    // first string reported is the module's second text.
    const PressureModule& m = s.module;
    static_assert(sizeof m.text2 == KVTLNK_PRESSURE_TEXT_SIZE, "first text");
    putText(text1, m.text2, sizeof m.text2);
    putText(text2, m.text1, sizeof m.text1);
    put(present, m.present != 0 ? 1u : 0u);
}

}  // namespace kvtlnk
