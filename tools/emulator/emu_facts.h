// Facts of the K27 that its field runs go by: item kinds, codes, the layout of setup and result
// items, the measure and source ranges, the sensors' limits and the pressure units. Written
// from the instrument's documentation, apart from the library, so that the two can check
// each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace k27emu::facts {

// Item kinds.
constexpr uint16_t kSetupForm1 = 1;
constexpr uint16_t kSetupForm2 = 2;
constexpr uint16_t kSetupForm3 = 3;
constexpr uint16_t kSetupForm4 = 4;
constexpr uint16_t kSetupForm5 = 5;
constexpr uint16_t kTemplate = 6;
constexpr uint16_t kCalResult = 7;
constexpr uint16_t kStrategy = 14;
constexpr uint16_t kTagId = 15;

// Function and unit codes.
constexpr int kFnNone = 0;
constexpr int kFnTc = 10;
constexpr int kFn2wRtd = 11;
constexpr int kFn4wRtd = 13;
constexpr int kFnPressure = 14;
constexpr int kCelsius = 6;
constexpr int kFahrenheit = 7;
constexpr int kPsi = 9;
constexpr int kUserJunction = 1;  // reference-junction mode: the user's temperature

// A setup item: a head, then blocks by form and function.
namespace head {
constexpr size_t kSize = 80;
constexpr size_t kScaleLow = 12;  // float, with kScaleHigh the scale pair
constexpr size_t kScaleHigh = 16;
constexpr size_t kJunctionValue = 28;  // float, in kJunctionUnits
constexpr size_t kRangeCode = 58;
constexpr size_t kUnits = 62;
constexpr size_t kJunctionUnits = 63;
constexpr size_t kFunction = 64;
constexpr size_t kTcType = 66;
constexpr size_t kRtdType = 67;
constexpr size_t kJunctionMode = 69;
constexpr size_t kScaleOn = 73;
constexpr size_t kFlags = 74;  // bit 1: module attached on a pressure input
constexpr size_t kOutFunction = 76;
constexpr size_t kSetupCode = 78;
}  // namespace head
namespace output {
constexpr size_t kSize = 72;
constexpr size_t kScaleLow = 12;
constexpr size_t kScaleHigh = 16;
constexpr size_t kJunctionValue = 28;
constexpr size_t kUnits = 61;
constexpr size_t kJunctionUnits = 62;
constexpr size_t kTcType = 64;
constexpr size_t kRtdType = 65;
constexpr size_t kRangeCode = 66;
constexpr size_t kJunctionMode = 67;
constexpr size_t kScaleOn = 69;
constexpr size_t kFlags = 70;  // bit 1: module attached on a pressure output
}  // namespace output
namespace module {
constexpr size_t kSize = 36;
constexpr size_t kHigh = 26;  // float, psi
constexpr size_t kLow = 30;
}  // namespace module
namespace logging {
constexpr size_t kHeadSize = 28;
constexpr size_t kInterval = 0;  // u32 seconds between samples
constexpr size_t kRequested = 4;
constexpr size_t kCount = 8;
constexpr size_t kStart = 12;  // stamps
constexpr size_t kLast = 20;
}  // namespace logging
constexpr size_t kMinMaxSize = 12;
constexpr size_t kPressureRefSize = 4;
constexpr uint8_t kModuleAttachedBit = 0x2;

// A calibration result: a head, one entry per strategy point, then the optional parts.
namespace result {
constexpr size_t kHeadSize = 12;
constexpr size_t kSetupRef = 0;
constexpr size_t kStrategyRef = 4;
constexpr size_t kCount = 8;
constexpr size_t kFlag = 10;
}  // namespace result
namespace entry {
constexpr size_t kSize = 22;
constexpr size_t kMeasured = 0;
constexpr size_t kSource = 4;
constexpr size_t kError = 8;
constexpr size_t kAsLeft = 12;
constexpr size_t kInRange = 16;
constexpr size_t kOutRange = 17;
constexpr size_t kErrorPresent = 18;
constexpr size_t kMeasuredPresent = 19;
constexpr size_t kSourcePresent = 20;
}  // namespace entry

// Display prefixes of the ranges: a reading is shown as base value / scale.
enum class Prefix { None, Micro, Milli, Unity, Kilo, Mega, Giga };
double prefixScale(Prefix p);

// One range of a function in one unit: its number, display prefix and limits in base units.
struct Range {
    uint8_t number;
    Prefix prefix;
    double low;
    double high;
};
struct RangeGroup {
    int function;
    int units;
    bool isSigned;  // false: a negative value is ranged by its magnitude
    std::vector<Range> ranges;
};
const std::vector<RangeGroup>& measureRanges();
const std::vector<RangeGroup>& sourceRanges();
const RangeGroup* findGroup(const std::vector<RangeGroup>& side, int function, int units);

// The limits of a thermocouple (function 10) or RTD (11) type, in both temperature units.
struct Sensor {
    int function;
    int type;
    double lowC, highC, lowF, highF;
};
// The sensor of a function and type, or nullptr. The source side has RTDs on 2 wires only.
const Sensor* findSensor(int function, int type, bool source);

// How many of a pressure unit make one psi; a code that is no pressure unit reads as psi.
double unitsPerPsi(int units);

}  // namespace k27emu::facts
