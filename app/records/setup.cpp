#include "setup.h"

#include <fmt/format.h>

#include <cmath>

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
    char moduleText[KVTLNK_PRESSURE_TEXT_SIZE] = "";
    char moduleName[KVTLNK_PRESSURE_TEXT_SIZE] = "";
    uint32_t present = 0;
    STAgetPressure(moduleText, moduleName, &present);
    if (present && (s.input.function == "pressure" || s.output.function == "pressure"))
        s.pressureModule = {utf8(moduleName), utf8(moduleText)};
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
    return {
        {"input", input},
        {"output", side(s.output)},
        {"loopPower", s.loopPower},
        {"temperatureUnits", s.temperatureUnits},
        {"pressureUnits", s.pressureUnits},
        {"temperatureStandard", s.standard},
        {"referenceJunction",
         {{"mode", s.junctionMode}, {"temperature", floatJson(s.junctionTemperature)}}},
        {"tolerance", floatJson(s.tolerance)},
        {"pressureModule", s.pressureModule.empty() ? nlohmann::ordered_json(nullptr)
                                                    : nlohmann::ordered_json(s.pressureModule)}};
}

SetupView setupFromJson(const nlohmann::ordered_json& v) {
    const auto side = [](const nlohmann::ordered_json& j) {
        SideView s;
        s.function = textAt(j, "function");
        s.sensor = textAt(j, "sensor");
        s.unit = textAt(j, "unit");
        const nlohmann::ordered_json& scale = memberAt(j, "scale");
        for (size_t i = 0; i < 2 && scale.is_array() && i < scale.size(); ++i) {
            s.scale[i] = floatOf(scale[i]);
        }
        const nlohmann::ordered_json& display = memberAt(j, "display");
        if (display.is_array() && display.size() == 2 && display[0].is_string() &&
            display[1].is_string()) {
            s.primary = display[0].get<std::string>();
            s.secondary = display[1].get<std::string>();
        }
        return s;
    };
    SetupView s;
    s.input = side(memberAt(v, "input"));
    s.output = side(memberAt(v, "output"));
    const nlohmann::ordered_json& range = memberAt(memberAt(v, "input"), "range");
    s.automaticRange = flagAt(range, "automatic");
    const auto orZero = [](float x) { return std::isnan(x) ? 0.0f : x; };
    s.rangeHigh = orZero(floatAt(range, "high"));
    s.loopPower = textAt(v, "loopPower");
    s.temperatureUnits = textAt(v, "temperatureUnits");
    s.pressureUnits = textAt(v, "pressureUnits");
    s.standard = textAt(v, "temperatureStandard");
    const nlohmann::ordered_json& junction = memberAt(v, "referenceJunction");
    s.junctionMode = textAt(junction, "mode");
    s.junctionTemperature = orZero(floatAt(junction, "temperature"));
    s.tolerance = orZero(floatAt(v, "tolerance"));
    for (const nlohmann::ordered_json& text : memberAt(v, "pressureModule")) {
        if (text.is_string()) s.pressureModule.push_back(text.get<std::string>());
    }
    return s;
}

DisplayUnit scaleUnit(const SideView& side) {
    return displayUnit(std::max(std::fabs(side.scale[0]), std::fabs(side.scale[1])), side.unit);
}

std::string loopPowerText(const SetupView& s) {
    // "24v" and "28v" are on; "off" and "none" are off.
    return s.loopPower == "24v" ? "24 V" : s.loopPower == "28v" ? "28 V" : "off";
}

std::string standardName(const std::string& standard) {
    if (standard == "its90") return "ITS-90";
    if (standard == "ipts68") return "IPTS-68";
    return standard;
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
    if (s.input.function != "tc" && s.output.function != "tc") return standardName(s.standard);
    // A measured junction has a temperature once a result recorded it.
    const bool user = s.junctionMode == "user";
    std::string text = user ? "reference junction set" : "reference junction measured";
    if (user || s.junctionTemperature != 0) {
        text += (user ? " to " : " at ") +
                quantity(s.junctionTemperature, unitSymbol("tc", s.temperatureUnits, ""), 4);
    }
    return text + ", " + standardName(s.standard);
}

std::string describeRest(const SetupView& s) {
    // "24v" and "28v" are on; "off" and "none" are off.
    const std::string power = s.loopPower == "24v" ? "24 V" : s.loopPower == "28v" ? "28 V" : "off";
    std::string text = "loop power " + power + ", tolerance " +
                       (s.tolerance > 0 ? "±" + number(s.tolerance) + " % of span" : "none");
    if (usesTemperature(s)) text += ", " + describeTemperatures(s);
    return text;
}

}  // namespace kvtcli
