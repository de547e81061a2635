#pragma once

#include <cstdint>
#include <limits>

#include "readings/number_format.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "support/date_stamp.h"

namespace kvtlnk {

// Change bits that commit acts on.
constexpr uint32_t kChangedOutput = 0x1;       // an output setting changed
constexpr uint32_t kChangedInput = 0x2;        // an input setting changed
constexpr uint32_t kChangedOutputState = 0x4;  // the output state changed
constexpr uint32_t kChangedInputState = 0x8;   // set by commit itself

// pressureSide values.
constexpr uint32_t kPressureNone = 0;
constexpr uint32_t kPressureOutput = 1;
constexpr uint32_t kPressureInput = 2;

// The samples the library's setup keeps of a restored log.
constexpr uint32_t kLogCapacity = 8000;

// Each group below starts at the values the calibrator resets it to.

// A thermocouple reference junction of one side: measured by the calibrator (mode 0) or a
// user temperature (mode 1) held in the units that were current when it was set.
struct ReferenceJunction {
    uint32_t mode = kTrefMeasure;
    float value = 0.0f;
    uint32_t units = kUnitCelsius;
};

// The pair given to STAsetInputScale or STAsetOutputScale, stored as passed.
struct Scale {
    float low = 0.0f;
    float high = 0.0f;
    uint16_t on = 0;  // 1 once a pair was stored
};

// A side's transfer function: 0 none, 1 linear, 2 square root, 3 square, 4 percent of span,
// 5 none. Function changes set it to none; only a restored setup gives it another mode.
struct TransferFunction {
    uint32_t mode = 0;
    float p1 = 0.0f;
    float p2 = 0.0f;
};

// What the measure side is set to: function, units, sensor, range, reference junction and the
// loop supply on its terminals.
struct InputSettings {
    uint32_t function = 0;
    uint32_t units = 0;
    uint32_t elecUnits = 0;  // units of the electrical quantity behind the function
    uint32_t tcType = 0;
    uint32_t rtdType = 0;
    uint32_t range = 0;         // active range number
    uint32_t rangeSetting = 0;  // 0 automatic, else a fixed range (a sensor's electrical range)
    uint16_t autoRange = 1;
    uint32_t contMode = 0;  // 1 while the function is cont
    uint16_t offsetOn = 0;
    float offset = 0.0f;  // base units
    ReferenceJunction tref;
    uint32_t loopPower = kLoopOff;
};

// What the source side is set to: function, units, sensor, the value and its range, the
// frequency amplitude, the pressure value and the reference junction.
struct OutputSettings {
    uint32_t function = 0;
    uint32_t units = 0;
    uint32_t elecUnits = 0;
    uint32_t tcType = 0;
    uint32_t rtdType = 0;
    uint32_t range = 0;
    float value = 0.0f;          // in units, rounded to the range's resolution and clamped
    float setValue = 0.0f;       // as the caller gave it (scaled units while scaling is on)
    float freqAmplitude = 0.0f;  // volts
    float pressurePsi = std::numeric_limits<float>::infinity();  // infinity: no pressure value
    ReferenceJunction tref;
};

// The readings last known on the measure side, and what commit derives for it.
struct InputReadings {
    float raw = 0.0f;   // volts for tc, ohms for RTD behind a temperature
    float freq = 0.0f;  // secondary reading of acv
    float cont = 0.0f;  // resistance of the cont function
    float value = 0.0f;
    float unscaled = 0.0f;  // secondary reading while input scaling is on
    float log = 0.0f;
    float display = 0.0f;
    float percentError = 0.0f;
    uint32_t freqRange = 0;  // range of the frequency reading
    uint16_t valid = 0;
    uint8_t flagCounter = 0;  // the getters report a settled reading at 8
    uint16_t error = 0;       // 0, or the conversion failure of the side
    float trefC = 0.0f;       // the user reference junction in degrees C (commit)
};

// The min/max record of the input readings.
struct MinMaxRecord {
    float max = -std::numeric_limits<float>::infinity();
    uint32_t maxRange = 0;
    float min = std::numeric_limits<float>::infinity();
    uint32_t minRange = 0;
    uint32_t on = 1;
};

// The source's stepping and increment, kept and saved for the calibrator.
struct OutputStepping {
    float low = 0.0f;
    float size = std::numeric_limits<float>::infinity();
    float high = 0.0f;
    uint16_t index = 0;
    uint16_t total = 0;
    uint32_t state = 1;
    uint32_t dwell = 0;
    float increment = 0.0f;
};

// What commit derives for the source side (the reference junction and the source temperature in
// degrees C, the electrical value and range the calibrator sources), and whether the calibrator
// follows the setting.
struct OutputState {
    float trefC = 0.0f;
    float valueC = 0.0f;  // a temperature in degrees C, 0 for pressure, else value
    float elecValue = 0.0f;
    uint32_t elecRange = 0;
    uint16_t error = 0;    // 0, or the conversion failure of the source
    uint16_t changed = 0;  // 1 once commit applied an output change
    uint16_t confirmed = 1;
};

struct TestTolerance {
    float value = 0.0f;
    uint16_t on = 0;
};

// The attached pressure module as last described to the library.
struct PressureModule {
    uint32_t id = 0;
    char text1[10] = {};
    char text2[16] = {};
    float high = 10000.0f;   // psi
    float low = -100.0f;     // psi
    uint16_t code = 0xFFFF;  // resolution code (0xFFFF: none)
    float refPsi = 0.0f;
    uint16_t present = 0;
};

// The log a restore brought in, in a sample array owned by whoever made the setup.
struct LogRecord {
    float* buffer = nullptr;
    uint32_t capacity = 0;
    uint32_t interval = 0;
    uint32_t requested = 0;
    uint32_t count = 0;
    DateStamp startTime;
    DateStamp lastTime;
};

// The one range of the pressure function, built for the module's limits in the current
// pressure units. It points into itself, so it can be neither copied nor moved.
struct PressureRange {
    PressureRange();
    PressureRange(const PressureRange&) = delete;
    PressureRange& operator=(const PressureRange&) = delete;

    char format[kPressureFormatSize] = {};
    RangeEntry entry;
    RangeGroup group;
};

// A group of settings that commit derives values from. Anyone may read it; it is written only
// through change, which first records the group's change bit among the setup's pending
// changes: a setting cannot change without the next commit knowing.
template <class Settings, uint32_t kBit>
class MarkedSettings {
  public:
    const Settings& get() const { return settings_; }
    Settings& change(uint32_t& pending) {
        pending |= kBit;
        return settings_;
    }

  private:
    Settings settings_;
};

// The calibrator's setup as the instrument holds it: the measure side (in) and the source side
// (out) with their readings, scales and transfer functions, the min/max record, the log, the
// test tolerance and the attached pressure module. Values are in base units, temperatures in
// the side's units, pressures in the side's pressure units.
//
// Each side's settings are written only through changeInput and changeOutput, which mark the
// side changed; commit then brings the derived values (inReadings.trefC, outState) up to date.
// The other groups are plain data: a record restore fills them field by field. The object holds
// pointers into itself (the pressure range), so it can be neither copied nor moved.
class SetupState {
  public:
    // With the array that receives logged samples, and without one (the temporary objects
    // that decode a stored setup).
    SetupState(float* logBuffer, uint32_t logCapacity);
    SetupState() : SetupState(nullptr, 0) {}
    SetupState(const SetupState&) = delete;
    SetupState& operator=(const SetupState&) = delete;

    const InputSettings& in() const { return in_.get(); }
    const OutputSettings& out() const { return out_.get(); }
    InputSettings& changeInput() { return in_.change(changeFlags_); }
    OutputSettings& changeOutput() { return out_.change(changeFlags_); }

    // Brings the derived values up to date for the pending change bits and clears them;
    // true when status is 0 afterwards.
    bool commit();
    // Adds change bits for the next commit (bits it does not know are cleared unused).
    void markChanged(uint32_t bits) { changeFlags_ |= bits; }
    uint32_t pendingChanges() const { return changeFlags_; }
    // The side that holds a pressure function, the output first.
    uint32_t pressureSide() const;

    // Stores the reset values; keeps the units, the log buffer, the log time stamps and the
    // pressure range.
    void resetSetup();
    // Returns status and clears it.
    uint16_t takeStatus();

    // The scale pairs and the test tolerance. Clearing a scale also drops the test tolerance,
    // which is given in the scaled units.
    void storeInputScale(float a, float b);
    void storeOutputScale(float a, float b);
    void clearInputScale();
    void clearOutputScale();
    void storeTestTolerance(float tolerance);
    // Starts a new min/max record, recording or not.
    void restartMinMax(uint32_t on);

    // Function and range selection. Each operation marks what it changed; commit brings the
    // derived values up to date afterwards. A false result leaves the reason in status: an
    // error (from kStatusFirstError) when the setting was refused and the object left as it
    // was, or a warning when the setting was made and the other side or loop power gave way
    // to it. Units 0 stand for the function's own units.
    bool setInputFunction(uint32_t function, uint32_t units);
    bool setInputTc(uint32_t function, uint32_t type, uint32_t units);
    bool setInputRtd(uint32_t function, uint32_t type, uint32_t units);
    // A fixed input range number, or 0 for automatic ranging.
    bool setInputRange(uint32_t range);
    // A new source value (base units, or the side's temperature or pressure units), rounded to
    // the display resolution of the range that takes it. A value that fits no range is refused;
    // for a new function the output's scaling and stepping have been reset by then.
    bool setOutputValue(uint32_t function, uint32_t units, float value);
    // The function with its starting value (and "tc_k" or "rtd_pt100_392" as the sensor).
    bool setOutputDefault(uint32_t function, uint32_t units);
    // A frequency source with its amplitude in volts, kept unless the setting was refused.
    bool setOutputFreq(uint32_t function, uint32_t units, float value, float amplitude);
    // A temperature source with its sensor type; a refused setting keeps the old type.
    bool setOutputTc(uint32_t function, uint32_t type, uint32_t units, float value);
    bool setOutputRtd(uint32_t function, uint32_t type, uint32_t units, float value);
    bool setLoopPower(uint32_t code);
    // Clash rules: after a change of one side, the other side (or loop power) gives way. Each
    // returns 0 or the warning status that names what gave way.
    uint16_t resolveAfterOutput();
    uint16_t resolveAfterInput();
    uint16_t resolveAfterLoopPower();
    // The units to store for a function given units (0: its own, or the current temperature
    // or pressure units), and the units of the electrical quantity behind it.
    void defaultUnits(uint32_t units, uint32_t function, uint32_t* stored,
                      uint32_t* electrical) const;

    // Units, temperature standard and reference junction. A change of units or standard
    // re-selects the temperature or pressure functions in use, output first.
    void setTempStd(uint32_t standard);
    void setPresUnits(uint32_t units);
    void setTempUnits(uint32_t units);
    bool setTrefMeasure();
    // A user reference-junction temperature in the current temperature units; refused
    // (kStatusTcConversion) outside -100 to 400 degrees C or when not a number.
    bool setTrefUser(float temperature);

    // Setup-wide choices. The sensor conversions of both sides follow tempStd: its setter marks
    // the sides that use them.
    uint32_t tempStd = kStdIts90;
    uint32_t presUnits = kUnitPsi;      // kept by a reset
    uint32_t tempUnits = kUnitCelsius;  // kept by a reset
    float trefUser = 23.0f;             // degrees C
    uint32_t setupCode = 0;
    uint16_t status = 0;  // last internal status code, 0 none

    InputReadings inReadings;
    Scale inScale;
    TransferFunction inScaled;
    MinMaxRecord minMax;

    OutputState outState;
    Scale outScale;
    TransferFunction outScaled;
    OutputStepping outStep;

    TestTolerance tolerance;
    PressureModule module;
    LogRecord log;
    PressureRange pressureRange;

  private:
    // A source value with the sensor types it is made with: a type becomes the side's only
    // with the setting.
    bool sourceValue(uint32_t function, uint32_t units, float value, uint32_t tcType,
                     uint32_t rtdType);

    uint32_t changeFlags_ = 0;
    MarkedSettings<InputSettings, kChangedInput> in_;
    MarkedSettings<OutputSettings, kChangedOutput> out_;
};

}  // namespace kvtlnk
