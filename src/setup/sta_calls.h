#pragma once

#include <cstdint>

#include "setup/setup_state.h"
#include "support/text_tables.h"

namespace kvtlnk {

// The STA calls on the setup they are given (the exported functions pass the library's). Names
// pass in and out as the name tables hold them. An output pointer may be NULL where the public
// header says so; the text getters and the readings' text buffers are given by their callers.

// Setters: each looks its names up, applies the change, commits it and reports the result code
// (0, a warning 100-105 or an error); a name not in its list is refused with 2013 and the
// setup left alone. staInit reports success as 1.
uint32_t staInit(SetupState& s);
uint32_t staSetInput(SetupState& s, const char* function, const char* sensor);
uint32_t staSetInputRange(SetupState& s, uint32_t automatic, float value);
uint32_t staSetOutput(SetupState& s, const char* function, const char* sensor, float value,
                      float amplitude);
uint32_t staSetLoopPower(SetupState& s, const char* loopPower);
uint32_t staSetTempUnits(SetupState& s, const char* units);
uint32_t staSetPresUnits(SetupState& s, const char* units);
uint32_t staSetTempStd(SetupState& s, const char* standard);
uint32_t staSetTref(SetupState& s, const char* mode, float temperature);
uint32_t staSetInputScale(SetupState& s, float first, float second);
uint32_t staSetOutputScale(SetupState& s, float first, float second);
uint32_t staSetTestTolerance(SetupState& s, float tolerance);

// The names of the units, standard and reference junction in force ("" for a code without a
// name), copied into the caller's buffer, which is returned.
char* staGetTempUnits(const SetupState& s, char* units);
char* staGetPresUnits(const SetupState& s, char* units);
char* staGetTempStd(const SetupState& s, char* standard);
char* staGetTref(const SetupState& s, char* mode, float* temperature);

// Readings and settings: the outputs are written in every case; the result is 0 or the side's
// conversion failure (2001, 2002).
uint32_t staGetInput(const SetupState& s, char* function, char* sensor, uint32_t* valid,
                     uint32_t* settled, float* primary, float* secondary);
uint32_t staGetOutput(const SetupState& s, char* function, char* sensor, uint32_t* set,
                      uint32_t* confirmed, float* primary, float* secondary);
uint32_t staGetMinMax(const SetupState& s, float* maximum, float* minimum);
// The same as the display shows them, with the symbols and decimal comma of the tables.
uint32_t staGetInputString(const SetupState& s, const TextTables& tables, char* primary,
                           char* secondary);
uint32_t staGetOutputString(const SetupState& s, const TextTables& tables, char* primary,
                            char* secondary);
uint32_t staGetMinMaxString(const SetupState& s, const TextTables& tables, char* maximum,
                            char* minimum);
void staGetInputRange(const SetupState& s, uint32_t* automatic, float* highLimit);
void staGetLoopPower(const SetupState& s, char* loopPower);
void staGetScaled(const SetupState& s, uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                  float* outP1, float* outP2);
void staGetInputScale(const SetupState& s, float* first, float* second);
void staGetOutputScale(const SetupState& s, float* first, float* second);
void staGetTestTolerance(const SetupState& s, float* tolerance);
void staGetPressure(const SetupState& s, char* text1, char* text2, uint32_t* present);

// The log that a restore brought in. The library takes no samples itself.
uint32_t staGetLogData(const SetupState& s, uint32_t* count, uint32_t* interval,
                       uint32_t* requested);
uint32_t staGetLogStart(const SetupState& s, uint32_t* year, uint32_t* month, uint32_t* day,
                        uint32_t* hour, uint32_t* minute, uint32_t* second);
uint32_t staGetLogMinMax(const SetupState& s, float* minimum, float* maximum);
// 2008 for an index past the last sample or a sample that holds no reading.
uint32_t staGetLoggedData(const SetupState& s, uint32_t index, uint32_t* valid, float* value);

}  // namespace kvtlnk
