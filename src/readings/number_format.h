#pragma once

#include <cstddef>
#include <cstdint>

namespace kvtlnk {

class TextTables;

// Prints value with a printf format taking one double into dst (at most dstSize bytes, always
// terminated), turns "." into "," in comma mode 1, and shortens an exponent to its significant
// digits ("1.00E+004" -> "1.00E+4", "1.00E+000" -> "1.00E+0"). Returns 1, or 0 for a comma
// mode other than 0 or 1 (the printed text then stays as it is).
int formatNumber(const char* format, char* dst, size_t dstSize, double value, int commaMode);

// formatNumber with the decimal-comma setting of the text tables.
int formatValue(const TextTables& tables, const char* format, char* dst, size_t dstSize,
                float value);

// Size of a pressure display format, terminator included.
constexpr size_t kPressureFormatSize = 10;

// How a pressure module is shown in one pressure unit: the limits of its range (10 % of the
// module span beyond each end) and the display format, whose last digit is the module's
// resolution converted to that unit.
struct PressureDisplay {
    float low;
    float high;
    char format[kPressureFormatSize];
};

// The display of a module with limits lowPsi..highPsi and resolution code (the decimal
// exponent of its last digit, in psi) for the given pressure unit.
PressureDisplay pressureDisplay(uint32_t unit, float lowPsi, float highPsi, int16_t resolution);

}  // namespace kvtlnk
