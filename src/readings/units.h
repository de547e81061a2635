#pragma once

#include <cstdint>

namespace kvtlnk {

// Units codes, as the setup and the calibrator's records hold them.
constexpr uint32_t kUnitNone = 0;
constexpr uint32_t kUnitVolts = 1;
constexpr uint32_t kUnitAmps = 2;
constexpr uint32_t kUnitOhms = 3;
constexpr uint32_t kUnitHertz = 4;
constexpr uint32_t kUnitSeconds = 5;
constexpr uint32_t kUnitCelsius = 6;
constexpr uint32_t kUnitFahrenheit = 7;
constexpr uint32_t kUnitPercent = 8;
constexpr uint32_t kUnitPsi = 9;
constexpr uint32_t kUnitMmHg = 10;
constexpr uint32_t kUnitInHg = 11;
constexpr uint32_t kUnitInH2o = 12;
constexpr uint32_t kUnitFtH2o = 13;
constexpr uint32_t kUnitBar = 14;
constexpr uint32_t kUnitKpa = 15;
constexpr uint32_t kUnitUdf = 16;

// Unit-prefix index of a range's display units: the value shown is the base value divided by
// the prefix's power of ten. None and unity leave the value alone; kPrefixPressure marks the
// pressure range, which is shown without a prefix letter.
constexpr uint32_t kPrefixNone = 0;
constexpr uint32_t kPrefixMicro = 1;
constexpr uint32_t kPrefixMilli = 2;
constexpr uint32_t kPrefixUnity = 3;
constexpr uint32_t kPrefixKilo = 4;
constexpr uint32_t kPrefixMega = 5;
constexpr uint32_t kPrefixGiga = 6;
constexpr uint32_t kPrefixPressure = 7;

// Output transfer-function modes.
constexpr uint32_t kScaleNone = 0;
constexpr uint32_t kScaleLinear = 1;
constexpr uint32_t kScaleSquareRoot = 2;
constexpr uint32_t kScaleSquare = 3;
constexpr uint32_t kScalePercent = 4;
constexpr uint32_t kScaleNoneAlt = 5;

// Every conversion below computes in double and rounds to single once, when the result is
// stored, so that results agree digit for digit with the calibrator's display.

// Celsius <-> fahrenheit; any other pair, or equal units, returns the value unchanged.
float convertTemp(uint32_t from, uint32_t to, float value);

// Pressure conversion through psi: from psi into a unit, or from a unit into psi. Each unit
// has its own factor in each direction (the two are not reciprocals); units that are not
// pressure units count as psi.
float convertPres(uint32_t from, uint32_t to, float value);

// A value shown with a prefix, rescaled to the base unit in place, and back.
void prefixToBase(float* value, uint32_t prefix);
void prefixFromBase(float* value, uint32_t prefix);

// The electrical value of a scaled output value x under transfer-function mode and its two
// parameters (offset and gain, or the electrical values at 0 % and 100 % in percent mode).
// Modes outside 0 to 5 pass x through.
float scaledToOutput(uint32_t mode, float p1, float p2, float x);

}  // namespace kvtlnk
