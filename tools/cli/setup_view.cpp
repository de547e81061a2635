#include "setup_view.h"

#include <fmt/format.h>

#include "charset.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"
#include "units.h"

namespace kvtcli {
namespace {

std::string utf8(const char* calibratorText) {
    return toUtf8(calibratorText);
}

std::string withSensor(const SideView& side) {
    return side.function + (side.sensor.empty() ? "" : " " + side.sensor);
}

std::string scaleText(const SideView& side) {
    return "scale " + quantityRange(side.scale[0], side.scale[1], side.unit);
}

bool usesTemperature(const SetupView& s) {
    return unitFamily(s.input.function) == UnitFamily::Temperature ||
           unitFamily(s.output.function) == UnitFamily::Temperature;
}

}  // namespace

SetupView readSetup() {
    SetupView s;
    char function[KVTLNK_NAME_SIZE] = "";
    char sensor[KVTLNK_NAME_SIZE] = "";
    char primary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    char secondary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    char name[16] = "";
    s.temperatureUnits = STAgetTempUnits(name);
    s.pressureUnits = STAgetPresUnits(name);
    s.standard = STAgetTempStd(name);
    s.junctionMode = STAgetTref(name, &s.junctionTemperature);
    STAgetLoopPower(name);
    s.loopPower = name;

    STAgetInput(function, sensor, nullptr, nullptr, nullptr, nullptr);
    STAgetInputString(primary, secondary);
    s.input = {function, sensor, "", {0, 0}, utf8(primary), utf8(secondary)};
    STAgetInputScale(&s.input.scale[0], &s.input.scale[1]);
    uint32_t automatic = 0;
    STAgetInputRange(&automatic, &s.rangeHigh);
    s.automaticRange = automatic != 0;

    STAgetOutput(function, sensor, nullptr, nullptr, nullptr, nullptr);
    STAgetOutputString(primary, secondary);
    s.output = {function, sensor, "", {0, 0}, utf8(primary), utf8(secondary)};
    STAgetOutputScale(&s.output.scale[0], &s.output.scale[1]);
    STAgetTestTolerance(&s.tolerance);
    for (SideView* side : {&s.input, &s.output})
        side->unit = unitSymbol(side->function, s.temperatureUnits, s.pressureUnits);
    return s;
}

nlohmann::ordered_json toJson(const SetupView& s) {
    const auto side = [](const SideView& v) {
        return nlohmann::ordered_json{{"function", v.function},
                                      {"sensor", v.sensor},
                                      {"unit", v.unit},
                                      {"scale", {floatJson(v.scale[0]), floatJson(v.scale[1])}},
                                      {"display", {v.primary, v.secondary}}};
    };
    nlohmann::ordered_json input = side(s.input);
    input["range"] = {{"automatic", s.automaticRange}, {"high", floatJson(s.rangeHigh)}};
    return {{"input", input},
            {"output", side(s.output)},
            {"loopPower", s.loopPower},
            {"temperatureUnits", s.temperatureUnits},
            {"pressureUnits", s.pressureUnits},
            {"temperatureStandard", s.standard},
            {"referenceJunction",
             {{"mode", s.junctionMode}, {"temperature", floatJson(s.junctionTemperature)}}},
            {"tolerance", floatJson(s.tolerance)}};
}

std::string describeInput(const SetupView& s) {
    std::string range = s.automaticRange ? "automatic range" : "fixed range";
    if (s.rangeHigh > 0) range += " up to " + quantity(s.rangeHigh, s.input.unit, 4);
    return fmt::format("{} ({}), {}", withSensor(s.input), range, scaleText(s.input));
}

std::string describeOutput(const SetupView& s) {
    return fmt::format("{}, {}", withSensor(s.output), scaleText(s.output));
}

std::string describeTemperatures(const SetupView& s) {
    if (s.input.function != "tc" && s.output.function != "tc") return "standard " + s.standard;
    // A measured junction has a temperature once a result recorded it.
    std::string text = "reference junction " + s.junctionMode;
    if (s.junctionMode == "user" || s.junctionTemperature != 0) {
        text += " " + quantity(s.junctionTemperature, unitSymbol("tc", s.temperatureUnits, ""), 4);
    }
    return text + ", standard " + s.standard;
}

std::string describeRest(const SetupView& s) {
    std::string text = "loop power " + s.loopPower + ", tolerance " +
                       (s.tolerance > 0 ? "±" + number(s.tolerance) + " % of span" : "none");
    if (usesTemperature(s)) text += ", " + describeTemperatures(s);
    return text;
}

}  // namespace kvtcli
