#pragma once

#include <cstddef>
#include <cstdint>

#include "kvtlnk/kvtlnk.h"
#include "readings/number_format.h"
#include "setup/setup_state.h"
#include "support/text_tables.h"

namespace kvtlnk {

// One reading as the calibrator's display shows it: the number expressed with the range's
// prefix, the prefix and unit that follow it, and the printf format of the number. The
// readers below fill it from the setup; everything after works on the copy.
struct DisplayRecord {
    float value = 0.0f;
    uint32_t unit = 0;    // unit number whose symbol follows the number
    uint32_t prefix = 0;  // prefix index whose letter follows the number (0: none)
    char format[kPressureFormatSize] = {};  // empty: no reading of this kind (the pressure
                                            // format is the longest)
    bool finite = true;                     // false for an infinity or a NaN
    bool valid = false;  // input: a valid measurement; output: the setting was made
};

// The five readers, by the setup's function and transfer-function mode.
DisplayRecord readInputPrimary(const SetupState& state, bool* settled);
DisplayRecord readInputSecondary(const SetupState& state);
DisplayRecord readOutputPrimary(const SetupState& state, bool* confirmed);
DisplayRecord readOutputSecondary(const SetupState& state);
struct MinMaxRecords {
    DisplayRecord maximum;
    DisplayRecord minimum;
};
MinMaxRecords readMinMax(const SetupState& state);

// The result code of a side: 0, or the code of the conversion failure the side holds (2001
// thermocouple, 2002 RTD).
uint32_t inputResult(const SetupState& state);
uint32_t outputResult(const SetupState& state);

// The names of a side's function and sensor: the thermocouple type for tc, the RTD type for the
// RTD functions, else "". A code without a name gives "".
struct SideNames {
    const char* function;
    const char* sensor;
};
SideNames inputNames(const SetupState& state);
SideNames outputNames(const SetupState& state);

// The high limit (base units) of the input range: the sensor's own range for a temperature
// function, else the active range. automatic: the range is chosen automatically.
float inputRangeHigh(const SetupState& state, bool* automatic);

// The name of the loop power setting, "" for a code without one.
const char* loopPowerName(const SetupState& state);

// The value of a record back in base units (prefix undone, in single precision).
float baseValue(const DisplayRecord& record);

// Whether a record without a format shows as the empty string (secondary and min/max
// readings) or goes through the markers and the formatting like any other (primary readings).
enum class Blank { Empty, Format };

// Size of every display string the composition writes, terminator included. A value beyond
// every range (only a restored setup can hold one) is cut to fit.
constexpr size_t kDisplayStringSize = KVTLNK_DISPLAY_STRING_SIZE;

// The display string of a record: "!!!!!!" when not finite, "------" when not valid, else the
// number (with the tables' decimal comma), the prefix letter and the unit symbol from the
// tables. Writes at most kDisplayStringSize bytes.
void composeDisplay(const TextTables& tables, const DisplayRecord& record, Blank blank, char* dst);

// Copies text into dst (size bytes, always terminated), cutting what does not fit.
void copyText(char* dst, const char* text, size_t size);

}  // namespace kvtlnk
