#pragma once

#include <cstdint>

namespace kvtlnk {

// Function codes.
constexpr uint32_t kFnNone = 0;
constexpr uint32_t kFnCurrent = 1;
constexpr uint32_t kFnDcv = 2;
constexpr uint32_t kFnAcv = 3;
constexpr uint32_t kFnFreq = 4;
constexpr uint32_t kFnFreqLow = 5;
constexpr uint32_t kFn2wOhms = 6;
constexpr uint32_t kFn3wOhms = 7;
constexpr uint32_t kFn4wOhms = 8;
constexpr uint32_t kFnCont = 9;
constexpr uint32_t kFnTc = 10;
constexpr uint32_t kFn2wRtd = 11;
constexpr uint32_t kFn3wRtd = 12;
constexpr uint32_t kFn4wRtd = 13;
constexpr uint32_t kFnPressure = 14;
constexpr uint32_t kFnCurrentSink = 15;

inline bool isRtdFunction(uint32_t function) {
    return function >= kFn2wRtd && function <= kFn4wRtd;
}
inline bool isTemperatureFunction(uint32_t function) {
    return function >= kFnTc && function <= kFn4wRtd;
}

// Temperature standards, reference-junction modes and loop power.
constexpr uint32_t kStdIts90 = 0;
constexpr uint32_t kStdIpts68 = 1;
constexpr uint32_t kTrefMeasure = 0;
constexpr uint32_t kTrefUser = 1;
constexpr uint32_t kLoopNone = 0;
constexpr uint32_t kLoopOff = 1;
constexpr uint32_t kLoop24v = 2;
constexpr uint32_t kLoop28v = 3;

// Internal status codes of the setup-state object: warnings from 10007 (the setting was made
// and something else changed with it), errors from 15000 (the setting was refused).
constexpr uint16_t kStatusLoopPowerOff = 10007;
constexpr uint16_t kStatusInputToDcv = 10020;
constexpr uint16_t kStatusOutputToNone = 10021;
constexpr uint16_t kStatusInputToDcvLoopOff = 10028;
constexpr uint16_t kStatusOutputToNoneLoopOff = 10029;
constexpr uint16_t kStatusFirstError = 15000;
constexpr uint16_t kStatusTcConversion = 15004;
constexpr uint16_t kStatusRtdConversion = 15005;
constexpr uint16_t kStatusCombination = 15006;
constexpr uint16_t kStatusOutputRange = 15009;
constexpr uint16_t kStatusBadSetupRecord = 15013;
constexpr uint16_t kStatusInputRange = 15014;

// A fixed table of lowercase names; each row's code is its position.
struct NameRow {
    const char* name;
    uint32_t code;
};
struct NameTable {
    const NameRow* rows;
    uint32_t count;
};

extern const NameTable kFunctionNames;   // 16 rows
extern const NameTable kUnitNames;       // 17 rows
extern const NameTable kRtdNames;        // 9 rows
extern const NameTable kTcNames;         // 12 rows
extern const NameTable kLoopPowerNames;  // 4 rows
extern const NameTable kTempStdNames;    // 2 rows
extern const NameTable kTrefModeNames;   // 2 rows

// The code of the first row whose name equals name exactly (case and all), or the table's row
// count when none does (also for a null name).
uint32_t codeOf(const NameTable& table, const char* name);

// The name of the first row with the code, or nullptr when no row has it.
const char* nameOf(const NameTable& table, uint32_t code);

// The result code an export reports for an internal status; 0 for a status not in the map.
uint32_t statusToResult(uint32_t status);

}  // namespace kvtlnk
