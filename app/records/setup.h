// The library's setup as the calibrator shows it, read through the STA getters: after
// MEMtemplateState the setup of a test, after MEMbaseState the one a result was taken with.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "units.h"

namespace kvtcli {

struct SideView {
    std::string function, sensor;
    std::string unit;                // the symbol of the unit its values are in ("A", "°C", "bar")
    float scale[2] = {0, 0};         // the span a test's points step through
    std::string primary, secondary;  // the display strings, UTF-8
};

struct SetupView {
    SideView input, output;
    bool automaticRange = true;  // input range
    float rangeHigh = 0;         // its upper limit, 0 for none
    std::string loopPower, temperatureUnits, pressureUnits, standard, junctionMode;
    float junctionTemperature = 0;
    float tolerance = 0;  // in % of the span; 0 for none
    // The texts of the pressure module a pressure function read through, as the calibrator
    // identified it (STAgetPressure); empty without one.
    std::vector<std::string> pressureModule;
};

SetupView readSetup();

nlohmann::ordered_json toJson(const SetupView& setup);
// The setup toJson wrote; what is missing or of another type stays as a new SetupView has it.
SetupView setupFromJson(const nlohmann::ordered_json& value);

// The unit a side's scale is shown in: "mA" for a scale of 0.004 to 0.02 A.
DisplayUnit scaleUnit(const SideView& side);

// "24 V" for "24v", "off" for "off" and "none": the loop power as a technician reads it.
std::string loopPowerText(const SetupView& setup);

// "ITS-90" for "its90": the temperature scale as a technician reads it.
std::string standardName(const std::string& standard);

// "current (automatic range up to 24 mA), scale 4 to 20 mA" and "pressure, scale 0 to 10 bar".
std::string describeInput(const SetupView& setup);
std::string describeOutput(const SetupView& setup);
// "loop power 24 V, tolerance ±0.25 % of span"; the junction and standard with temperatures.
std::string describeRest(const SetupView& setup);
// "reference junction measured at 22.85 °C, ITS-90" with a thermocouple (the junction's
// temperature when it is the user's or a result recorded it), "ITS-90" with an RTD.
std::string describeTemperatures(const SetupView& setup);

}  // namespace kvtcli
