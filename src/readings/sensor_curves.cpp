#include "readings/sensor_curves.h"

#include <cstring>

namespace kvtlnk {

namespace {

// Thermocouple numbers 1-11 name these type letters, the keys of the thermocouple tables.
constexpr char kTypeLetters[] = "ENJKTBRSCLU";
constexpr uint32_t kThermocoupleTypes = sizeof(kTypeLetters) - 1;

// The calibrator converts millivolts to volts with a single-precision constant.
constexpr float kVoltsPerMillivolt = 0.001f;

const SensorCurve* findCurve(const SensorCurve* table, int32_t key) {
    for (; table->key != '0'; ++table) {
        if (table->key == key) return table;
    }
    return nullptr;
}

// One electrical value in volts, rounded to single as the calibrator stores it.
float emfVolts(const SensorCurve& curve, float t) {
    return static_cast<float>(static_cast<double>(evalCurve(curve, t)) * kVoltsPerMillivolt);
}

}  // namespace

const SensorCurve* thermocoupleCurve(CurveStandard standard, uint32_t type) {
    if (type < 1 || type > kThermocoupleTypes) return nullptr;
    const SensorCurve* table =
        standard == CurveStandard::IPTS68 ? kThermocoupleIpts68 : kThermocoupleIts90;
    return findCurve(table, kTypeLetters[type - 1]);
}

const SensorCurve* rtdCurve(CurveStandard standard, uint32_t type) {
    // RTD keys are the type numbers themselves; the end key '0' never matches one.
    if (type == 0 || type > 0x7FFFFFFFu) return nullptr;
    const SensorCurve* table = standard == CurveStandard::IPTS68 ? kRtdIpts68 : kRtdIts90;
    return findCurve(table, static_cast<int32_t>(type));
}

float evalCurve(const SensorCurve& curve, float t) {
    int32_t index = 0;
    while (index < curve.segmentCount - 1 && t >= curve.segments[index].upper)
        ++index;
    const double* c = curve.segments[index].c;
    const double x = t;
    double acc = c[4];
    acc = x * acc + c[3];
    acc = x * acc + c[2];
    acc = x * acc + c[1];
    acc = x * acc + c[0];
    return static_cast<float>(acc);
}

bool tcEmf(CurveStandard standard, uint32_t type, float t, float tRef, float* volts) {
    if (volts == nullptr) return false;
    *volts = 0.0f;
    if (t == tRef) return true;
    const SensorCurve* curve = thermocoupleCurve(standard, type);
    if (curve == nullptr) return false;
    const float measuring = emfVolts(*curve, t);
    // The curves are not forced through zero at 0 C, so only an exact 0 C reference is skipped.
    const float reference = tRef == 0.0f ? 0.0f : emfVolts(*curve, tRef);
    *volts = static_cast<float>(static_cast<double>(measuring) - reference);
    return true;
}

bool rtdOhms(CurveStandard standard, uint32_t type, float t, float* ohms) {
    if (ohms == nullptr) return false;
    *ohms = 0.0f;
    const SensorCurve* curve = rtdCurve(standard, type);
    if (curve == nullptr) return false;
    *ohms = evalCurve(*curve, t);
    return true;
}

int isNotFinite(const float* value) {
    if (value == nullptr) return 0;
    uint32_t bits = 0;
    std::memcpy(&bits, value, sizeof bits);
    constexpr uint32_t kExponent = 0x7F800000u;
    return (bits & kExponent) == kExponent ? 1 : 0;
}

}  // namespace kvtlnk
