#pragma once

#include <cstdint>

#include "readings/number_format.h"
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

// The calibrator's setup as the instrument holds it: the measure side (in...) and the source
// side (out...), the last readings, the min/max record, the log, loop power, test tolerance
// and the attached pressure module. Values are in base units, temperatures in the side's
// units, pressures in the side's pressure units.
//
// The fields are plain data so that setup records can be packed and unpacked field by field;
// the setters and getters go through the operations below, which keep the read and write
// brackets and the change bits. The object holds pointers into itself (the pressure range),
// so it can be neither copied nor moved.
class SetupState {
  public:
    // With the array that receives logged samples, and without one (the temporary objects
    // that decode a stored setup).
    SetupState(float* logBuffer, uint32_t logCapacity);
    SetupState() : SetupState(nullptr, 0) {}
    SetupState(const SetupState&) = delete;
    SetupState& operator=(const SetupState&) = delete;

    // Brings the derived values up to date for the pending change bits and clears them;
    // true when status is 0 afterwards.
    virtual bool commit();
    // Called last by the units and standard setters when they changed the value.
    virtual void afterChange() {}
    // Brackets around every read accessor, and around every setter and commit. They do
    // nothing: the library takes no lock and is called from one thread at a time.
    virtual void beginRead() {}
    virtual void endRead() {}
    virtual void beginWrite() {}
    virtual void endWrite() {}
    // Recomputes pressureSide and ORs bits into changeFlags.
    virtual void markChanged(uint32_t bits);
    virtual ~SetupState() = default;

    // Stores the reset values; keeps the units, the log buffer, the log time stamps and the
    // pressure range descriptor.
    void resetSetup();
    // Returns status and clears it.
    uint16_t takeStatus();

    // Read accessors, each inside beginRead/endRead.
    void readInputRange(uint32_t* range, uint16_t* autoRange);
    void readInFunction(uint32_t* function);
    void readInUnits(uint32_t* units);
    void readInTc(uint32_t* function, uint32_t* tcType);
    void readInRtd(uint32_t* function, uint32_t* rtdType);
    void readInTrefMode(uint32_t* mode);
    void readInScaled(uint32_t* mode, float* p1, float* p2);
    void readOutFunction(uint32_t* function);
    void readOutUnits(uint32_t* units);
    void readOutTcType(uint32_t* tcType);
    void readOutRtdType(uint32_t* rtdType);
    void readOutScaled(uint32_t* mode, float* p1, float* p2);
    void readPressureTexts(const char** text2, const char** text1);
    void readPressureModulePresent(uint16_t* present);
    // trefUser in the current temperature units, and those units.
    void readTrefUser(float* temperature, uint32_t* units);
    void readTempStd(uint32_t* standard);
    void readPresUnits(uint32_t* units);
    void readTempUnits(uint32_t* units);
    void readInputScale(float* low, float* high, uint16_t* on);
    void readOutputScale(float* low, float* high, uint16_t* on);
    void readTestTolerance(float* tolerance, uint16_t* on);

    // Both reference-junction side values, each in its own side's units.
    void readTrefValues(float* inValue, float* outValue);

    // Write accessors, each opening with beginWrite (setters close nothing; commit does).
    void storeInputScale(float a, float b);
    void storeOutputScale(float a, float b);
    void clearInputScale();
    void clearOutputScale();
    void storeTestTolerance(float tolerance);
    void clearMinMax();

    // Function and range selection. Each operation opens with beginWrite and marks what it
    // changed; commit brings the derived values up to date afterwards. A false result leaves
    // the reason in status: an error (from kStatusFirstError) when the setting was refused and
    // the object left as it was, or a warning when the setting was made and the other side or
    // loop power gave way to it. Units 0 stand for the function's own units.
    bool setInputFunction(uint32_t function, uint32_t units);
    bool setInputTc(uint32_t function, uint32_t type, uint32_t units);
    bool setInputRtd(uint32_t function, uint32_t type, uint32_t units);
    // A fixed input range number, or 0 for automatic ranging.
    bool setInputRange(uint32_t range);
    // Switches min/max recording and starts a new record.
    void restartMinMax(uint32_t on);
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

    uint32_t tempStd;
    uint32_t presUnits;
    uint32_t tempUnits;
    float trefUser;  // degrees C
    float inRawReading;
    float inFreqReading;
    float inContReading;
    float inTrefC;
    float* logBuffer;
    uint32_t logCapacity;
    uint32_t logInterval;
    uint32_t logRequested;
    uint32_t logCount;
    DateStamp logStartTime;
    DateStamp logLastTime;
    float inMax;
    uint32_t inMaxRange;
    float inMin;
    uint32_t inMinRange;
    float inScaleLow;
    float inScaleHigh;
    uint16_t inScaleOn;
    float inScaledP1;
    float inScaledP2;
    uint32_t inRange;
    uint32_t inFreqRange;
    uint32_t inElecUnits;
    uint32_t inUnits;
    uint32_t inTrefUnits;
    uint32_t inFunction;
    uint32_t inScaledMode;
    uint32_t inTcType;
    uint32_t inRtdType;
    uint32_t inRangeSetting;
    uint32_t inTrefMode;
    uint32_t inContMode;
    uint32_t inMinMaxOn;
    uint16_t inAutoRange;
    uint16_t inOffsetOn;
    float inOffset;
    uint16_t inReadingValid;
    float inTrefValue;
    float inValue;
    float inUnscaledValue;
    float inLogValue;
    float inDisplayValue;
    float inPercentError;
    uint8_t inFlagCounter;
    uint16_t outChanged;
    uint16_t outConfirmed;
    float outSetValue;
    float outFreqAmplitude;
    float outTrefC;
    float outScaleLow;
    float outScaleHigh;
    uint16_t outScaleOn;
    float outStepLow;
    float outStepSize;
    float outStepHigh;
    uint16_t outStepIndex;
    uint16_t outStepTotal;
    uint32_t outStepState;
    uint32_t outStepDwell;
    float outScaledP1;
    float outScaledP2;
    float outIncrement;
    uint32_t outElecUnits;
    uint32_t outUnits;
    uint32_t outTrefUnits;
    uint32_t outFunction;
    uint32_t outScaledMode;
    uint32_t outTcType;
    uint32_t outRtdType;
    uint32_t outRange;
    uint32_t outTrefMode;
    float outValue;
    float outTrefValue;
    float outValueC;
    float outElecValue;
    uint32_t outElecRange;
    uint32_t loopPower;
    uint32_t setupCode;
    uint16_t testTolOn;
    float testTolerance;
    uint32_t pressureModuleId;
    char pressureText1[10];
    char pressureText2[16];
    float pressureHigh;  // psi
    float pressureLow;   // psi
    uint16_t pressureCode;
    float outPressurePsi;
    float pressureRefPsi;
    uint16_t pressureModulePresent;
    uint16_t status;
    uint16_t outError;
    uint16_t inError;
    uint32_t pressureSide;
    uint32_t changeFlags;
    char pressureFormat[kPressureFormatSize];
    RangeEntry pressureRangeEntry;
    RangeGroup pressureRanges;
};

// The samples the library's setup keeps of a restored log.
constexpr uint32_t kLogCapacity = 8000;

}  // namespace kvtlnk
