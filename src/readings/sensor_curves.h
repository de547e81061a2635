#pragma once

#include <cstdint>

namespace kvtlnk {

// One piece of a sensor curve: valid below its upper bound (degrees C), value =
// c[0] + c[1] t + c[2] t^2 + c[3] t^3 + c[4] t^4.
struct CurveSegment {
    float upper;
    double c[5];
};

// A piecewise quartic sensor curve: millivolts for thermocouples, ohms for RTDs.
struct SensorCurve {
    int32_t key;     // thermocouple type letter, or the RTD type number; '0' ends a table
    float lowerEnd;  // lowest temperature the curve covers (not read by the evaluation)
    int32_t segmentCount;
    const CurveSegment* segments;
};

// Which pair of tables an evaluation uses: the setup's temperature standard.
enum class CurveStandard { ITS90, IPTS68 };

// The four compiled-in tables, each ended by an entry with key '0'.
extern const SensorCurve kThermocoupleIts90[];
extern const SensorCurve kThermocoupleIpts68[];
extern const SensorCurve kRtdIts90[];
extern const SensorCurve kRtdIpts68[];

// The curve of thermocouple type 1-11 or RTD type 1-8 under a standard, or nullptr.
const SensorCurve* thermocoupleCurve(CurveStandard standard, uint32_t type);
const SensorCurve* rtdCurve(CurveStandard standard, uint32_t type);

float evalCurve(const SensorCurve& curve, float t);
// EMF in volts of a thermocouple at t with its reference junction at tRef (degrees C).
bool tcEmf(CurveStandard standard, uint32_t type, float t, float tRef, float* volts);
// Resistance in ohms of an RTD at t (degrees C).
bool rtdOhms(CurveStandard standard, uint32_t type, float t, float* ohms);

// 1 when the single holds an infinity or a NaN (all exponent bits set), else 0.
int isNotFinite(const float* value);

}  // namespace kvtlnk
