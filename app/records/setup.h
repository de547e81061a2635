// A setup of the calibrator as it shows it: what a test measures and sources, its scales and
// tolerance; the setup of a test in the procedure memory, or the one a result was taken with.
// Its JSON form, and the words a page or a table says it in.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/units.h"

namespace kvtapp {

struct Side {
    std::string function, sensor;
    std::string unit;                // the symbol of the unit its values are in ("A", "°C", "bar")
    float scale[2] = {0, 0};         // the span a test's points step through
    std::string primary, secondary;  // the display strings, UTF-8
};

struct Setup {
    Side input, output;
    bool automaticRange = true;  // input range
    float rangeHigh = 0;         // its upper limit, 0 for none
    std::string loopPower, temperatureUnits, pressureUnits, standard, junctionMode;
    float junctionTemperature = 0;
    float tolerance = 0;  // in % of the span; 0 for none
    // The texts of the pressure module a pressure function read through, as the calibrator
    // identified it (STAgetPressure); empty without one.
    std::vector<std::string> pressureModule;
};

nlohmann::ordered_json toJson(const Setup& setup);
// The setup toJson wrote; what is missing or of another type stays as a new Setup has it.
Setup setupFromJson(const nlohmann::ordered_json& value);

// The unit a side's scale is shown in: "mA" for a scale of 0.004 to 0.02 A.
DisplayUnit scaleUnit(const Side& side);

// "24 V" for "24v", "off" for "off" and "none": the loop power as a technician reads it.
std::string loopPowerText(const Setup& setup);

// "ITS-90" for "its90": the temperature scale as a technician reads it.
std::string standardName(const std::string& standard);

// "current (automatic range up to 24 mA), scale 4 to 20 mA" and "pressure, scale 0 to 10 bar".
std::string describeInput(const Setup& setup);
std::string describeOutput(const Setup& setup);
// "loop power 24 V, tolerance ±0.25 % of span"; the junction and standard with temperatures.
std::string describeRest(const Setup& setup);
// "reference junction measured at 22.85 °C, ITS-90" with a thermocouple (the junction's
// temperature when it is the user's or a result recorded it), "ITS-90" with an RTD.
std::string describeTemperatures(const Setup& setup);

}  // namespace kvtapp
