// The STA entry points that report the setup: readings and their display strings, the input
// range, loop power, transfer functions, scales, tolerance and the pressure module. A null
// pointer for an output leaves that output out.
#include "kvtlnk/kvtlnk.h"
#include "readings/display_record.h"
#include "setup/setup_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

template <class T>
void put(T* out, T value) {
    if (out != nullptr) *out = value;
}

void putText(char* out, const char* text, size_t size) {
    if (out != nullptr) copyText(out, text, size);
}

void putDisplay(char* out, const DisplayRecord& record, Blank blank) {
    if (out != nullptr) composeDisplay(record, blank, out);
}

void putNames(char* function, char* sensor, const SideNames& names) {
    putText(function, names.function, KVTLNK_NAME_SIZE);
    putText(sensor, names.sensor, KVTLNK_NAME_SIZE);
}

}  // namespace

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL STAgetInput(char* function, char* sensor, uint32_t* valid,
                                            uint32_t* settled, float* primary, float* secondary) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        putNames(function, sensor, inputNames(s));
        bool isSettled;
        const DisplayRecord first = readInputPrimary(s, &isSettled);
        put(valid, first.valid ? 1u : 0u);
        put(settled, isSettled ? 1u : 0u);
        put(primary, baseValue(first));
        put(secondary, baseValue(readInputSecondary(s)));
        return inputResult(s);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetOutput(char* function, char* sensor, uint32_t* set,
                                             uint32_t* confirmed, float* primary,
                                             float* secondary) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        putNames(function, sensor, outputNames(s));
        bool isConfirmed;
        const DisplayRecord first = readOutputPrimary(s, &isConfirmed);
        put(set, first.valid ? 1u : 0u);
        put(confirmed, isConfirmed ? 1u : 0u);
        put(primary, baseValue(first));
        put(secondary, baseValue(readOutputSecondary(s)));
        return outputResult(s);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMax(float* maximum, float* minimum) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        const MinMaxRecords m = readMinMax(s);
        put(maximum, baseValue(m.maximum));
        put(minimum, baseValue(m.minimum));
        return inputResult(s);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetInputString(char* primary, char* secondary) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        bool settled;
        putDisplay(primary, readInputPrimary(s, &settled), Blank::Format);
        putDisplay(secondary, readInputSecondary(s), Blank::Empty);
        return inputResult(s);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetOutputString(char* primary, char* secondary) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        bool confirmed;
        putDisplay(primary, readOutputPrimary(s, &confirmed), Blank::Format);
        putDisplay(secondary, readOutputSecondary(s), Blank::Empty);
        return outputResult(s);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMaxString(char* maximum, char* minimum) {
    return guarded(KVTLNK_E_ARGUMENT, [&] {
        SetupState& s = theSetupState();
        const MinMaxRecords m = readMinMax(s);
        putDisplay(maximum, m.maximum, Blank::Empty);
        putDisplay(minimum, m.minimum, Blank::Empty);
        return inputResult(s);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetInputRange(uint32_t* automatic, float* highLimit) {
    guardedVoid([&] {
        bool isAutomatic;
        const float high = inputRangeHigh(theSetupState(), &isAutomatic);
        put(automatic, isAutomatic ? 1u : 0u);
        put(highLimit, high);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetLoopPower(char* loopPower) {
    guardedVoid([&] { putText(loopPower, loopPowerName(theSetupState()), KVTLNK_NAME_SIZE); });
}

KVTLNK_API void KVTLNK_CALL STAgetScaled(uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                                         float* outP1, float* outP2) {
    guardedVoid([&] {
        SetupState& s = theSetupState();
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
    });
}

KVTLNK_API void KVTLNK_CALL STAgetInputScale(float* first, float* second) {
    guardedVoid([&] {
        float low, high;
        uint16_t on;
        theSetupState().readInputScale(&low, &high, &on);
        put(first, low);
        put(second, high);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetOutputScale(float* first, float* second) {
    guardedVoid([&] {
        float low, high;
        uint16_t on;
        theSetupState().readOutputScale(&low, &high, &on);
        put(first, low);
        put(second, high);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetTestTolerance(float* tolerance) {
    guardedVoid([&] {
        float value;
        uint16_t on;
        theSetupState().readTestTolerance(&value, &on);
        put(tolerance, value);
    });
}

KVTLNK_API void KVTLNK_CALL STAgetPressure(char* text1, char* text2, uint32_t* present) {
    guardedVoid([&] {
        SetupState& s = theSetupState();
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
    });
}

}  // extern "C"
