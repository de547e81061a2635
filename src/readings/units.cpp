#include "readings/units.h"

#include <cmath>

namespace kvtlnk {

namespace {

struct PressureFactors {
    uint32_t unit;
    double fromPsi;  // psi -> unit
    double toPsi;    // unit -> psi
};

// The calibrator's own factors; each direction is its own constant.
constexpr PressureFactors kPressureFactors[] = {
    {kUnitBar, 0.0689476, 14.50377},  {kUnitKpa, 6.89476, 0.1450377},
    {kUnitInH2o, 27.6799, 0.0361272}, {kUnitFtH2o, 2.3066583, 0.4335264},
    {kUnitInHg, 2.036021, 0.4911541}, {kUnitMmHg, 51.715095, 0.0193367},
};

const PressureFactors* pressureFactors(uint32_t unit) {
    for (const PressureFactors& f : kPressureFactors) {
        if (f.unit == unit) return &f;
    }
    return nullptr;  // psi and every other unit: factor 1
}

}  // namespace

float convertTemp(uint32_t from, uint32_t to, float value) {
    const double v = value;
    if (from == kUnitCelsius && to == kUnitFahrenheit) {
        return static_cast<float>(v * 9.0f / 5.0f + 32.0f);
    }
    if (from == kUnitFahrenheit && to == kUnitCelsius) {
        return static_cast<float>((v - 32.0f) * 5.0f / 9.0f);
    }
    return value;
}

float convertPres(uint32_t from, uint32_t to, float value) {
    double factor = 1.0;
    if (from == kUnitPsi) {
        if (const PressureFactors* f = pressureFactors(to)) factor = f->fromPsi;
    } else if (const PressureFactors* f = pressureFactors(from)) {
        factor = f->toPsi;
    }
    return static_cast<float>(value * factor);
}

namespace {

// The power of ten between a value shown with a prefix and its base unit, and whether the
// prefix stands below unity (micro, milli) or above it (kilo, mega, giga); 0 for none.
double prefixFactor(uint32_t prefix, bool* belowUnity) {
    *belowUnity = prefix == kPrefixMicro || prefix == kPrefixMilli;
    switch (prefix) {
        case kPrefixMicro:
            return 1000000.0;
        case kPrefixMilli:
            return 1000.0;
        case kPrefixKilo:
            return 1000.0;
        case kPrefixMega:
            return 1000000.0;
        case kPrefixGiga:
            return 1000000000.0;
        default:
            return 0.0;
    }
}

// Divides or multiplies in double precision and rounds once to single, dividing where the
// instrument divides (never multiplying by a reciprocal).
void rescale(float* value, double factor, bool divide) {
    const double v = *value;
    *value = static_cast<float>(divide ? v / factor : v * factor);
}

}  // namespace

void prefixToBase(float* value, uint32_t prefix) {
    bool belowUnity;
    const double factor = prefixFactor(prefix, &belowUnity);
    if (factor != 0.0) rescale(value, factor, belowUnity);
}

void prefixFromBase(float* value, uint32_t prefix) {
    bool belowUnity;
    const double factor = prefixFactor(prefix, &belowUnity);
    if (factor != 0.0) rescale(value, factor, !belowUnity);
}

float scaledToOutput(uint32_t mode, float p1, float p2, float x) {
    const double quotient = (static_cast<double>(x) - p1) / p2;
    switch (mode) {
        case kScaleLinear:
            return static_cast<float>(quotient);
        case kScaleSquareRoot:
            return static_cast<float>(std::sqrt(quotient));
        case kScaleSquare: {
            const float q = static_cast<float>(quotient);
            return static_cast<float>(static_cast<double>(q) * q);
        }
        case kScalePercent:
            return static_cast<float>(
                static_cast<double>(x) / 100.0 * (static_cast<double>(p2) - p1) + p1);
        default:
            return x;
    }
}

}  // namespace kvtlnk
