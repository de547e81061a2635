// Units of the calibrator's values for people: the unit a side's values are in, and numbers
// shown with an SI prefix ("25 mA", "4.7 kΩ"). The library passes values in base units.
#pragma once

#include <string>

namespace kvtapp {

enum class UnitFamily { None, Electrical, Temperature, Pressure };

// The family of units a function's values are in, by the function's name ("current", "tc").
UnitFamily unitFamily(const std::string& function);

// The symbol of the unit a function's values are in: "A", "V", "Hz", "Ω"; for temperature and
// pressure functions that of the setup's units ("celsius" "°C", "bar" "bar"); "" for "none".
std::string unitSymbol(const std::string& function, const std::string& temperatureUnits,
                       const std::string& pressureUnits);

// The unit to show values of a magnitude in: an SI prefix for electrical units (factor 1e-3
// and "mA" for 0.02 A), the unit as it is for the others.
struct DisplayUnit {
    double factor = 1;
    std::string symbol;
};
DisplayUnit displayUnit(double magnitude, const std::string& unit);

// A value with its unit, in up to digits significant digits: "25 mA", "400 °C".
std::string quantity(double value, const std::string& unit, int digits = 6);
// "0 to 24 mA": both ends in the prefix of the larger.
std::string quantityRange(double low, double high, const std::string& unit);

// A float of the library as the shortest decimal that reads back as the same float ("0.004",
// not 0.004000000189989805); "" for NaN. And that decimal as a double.
std::string shortest(float value);
double decimal(float value);

// The step in which the display shows a reading taken in a measure range of an electrical
// function, by the range's upper limit (MEMcalResultEntry's inLimit), in base units; NaN for a
// range of another function.
double inputRangeStep(const std::string& function, float rangeHigh);
// The step of the number a display string shows (" 52.300mV": 0.001, "1.23E+03": 10), in the
// units it shows; NaN for a string without one ("------").
double displayStep(const std::string& displayString);
// A value in steps of the given size, printed with the digits the step has ("3.999" for
// 0.0039986726 A in steps of 1e-06 A shown in mA); with no step, in up to 6 digits.
std::string stepped(double value, double step, double unitFactor = 1);

// A number in up to digits significant digits with a decimal point, whatever the locale:
// "0.004", "-1.5e-07".
std::string number(double value, int digits = 6);
// The same never in scientific notation: "0.0000123", "1230000".
std::string plainNumber(double value, int digits = 6);

}  // namespace kvtapp
