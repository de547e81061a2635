#include "readings/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "readings/units.h"
#include "support/text_tables.h"

namespace kvtlnk {

namespace {

// Drops the leading zeros of the exponent that starts at digits, keeping one when all are 0.
void shortenExponent(char* digits) {
    char* rest = digits;
    while (*rest == '0')
        ++rest;
    if (rest != digits && (*rest < '0' || *rest > '9')) --rest;
    if (rest != digits) std::memmove(digits, rest, std::strlen(rest) + 1);
}

// floor(log10 x), or 0 for x <= 0 (and for an infinity or a NaN from a restored setup).
int decimalExponent(float x) {
    if (!(x > 0.0f) || std::isinf(x)) return 0;
    return static_cast<int>(std::floor(std::log10(static_cast<double>(x))));
}

}  // namespace

int formatNumber(const char* format, char* dst, size_t dstSize, double value, int commaMode) {
    if (dstSize == 0) return commaMode == 0 || commaMode == 1;
        // The format is one of the library's own display formats, never caller text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(dst, dstSize, format, value);
#pragma GCC diagnostic pop
    if (commaMode == 1) {
        for (char* p = std::strchr(dst, '.'); p != nullptr; p = std::strchr(p + 1, '.'))
            *p = ',';
    } else if (commaMode != 0) {
        return 0;
    }
    char* e = std::strpbrk(dst, "eE");
    if (e == nullptr) return 1;
    char* digits = e + 1;
    if (*digits == '+' || *digits == '-') ++digits;
    shortenExponent(digits);
    return 1;
}

int formatValue(const TextTables& tables, const char* format, char* dst, size_t dstSize,
                float value) {
    return formatNumber(format, dst, dstSize, value, tables.decimalComma());
}

PressureDisplay pressureDisplay(uint32_t unit, float lowPsi, float highPsi, int16_t resolution) {
    PressureDisplay d{};
    // Digit positions from the module's full scale down to its last displayed digit.
    const int e0 = decimalExponent(highPsi) - resolution;

    const float tenth = static_cast<float>((static_cast<double>(highPsi) - lowPsi) * 0.1f);
    d.low = convertPres(kUnitPsi, unit, static_cast<float>(static_cast<double>(lowPsi) - tenth));
    d.high = convertPres(kUnitPsi, unit, static_cast<float>(static_cast<double>(highPsi) + tenth));

    const int efs = decimalExponent(convertPres(kUnitPsi, unit, highPsi));
    const int d10 = efs - e0;  // decimal exponent of the last digit in this unit
    if (d10 < -5 || efs > 3 || e0 > 6) {
        std::snprintf(d.format, sizeof d.format, "%s", "%.2E");
    } else if (d10 >= 0) {
        std::snprintf(d.format, sizeof d.format, "%s", "%.0f");
    } else {
        std::snprintf(d.format, sizeof d.format, "%%.%df", -d10);
    }
    return d;
}

}  // namespace kvtlnk
