#include "records/setup.h"

#include <fmt/format.h>

#include <cmath>

#include "base/json.h"
#include "base/units.h"

namespace kvtapp {
namespace {

std::string withSensor(const Side& side) {
    return side.function + (side.sensor.empty() ? "" : " " + side.sensor);
}

std::string scaleText(const Side& side) {
    return "scale " + quantityRange(side.scale[0], side.scale[1], side.unit);
}

bool usesTemperature(const Setup& s) {
    return unitFamily(s.input.function) == UnitFamily::Temperature ||
           unitFamily(s.output.function) == UnitFamily::Temperature;
}

}  // namespace

nlohmann::ordered_json toJson(const Setup& s) {
    const auto side = [](const Side& v) {
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

Setup setupFromJson(const nlohmann::ordered_json& v) {
    const auto side = [](const nlohmann::ordered_json& j) {
        Side s;
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
    Setup s;
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

DisplayUnit scaleUnit(const Side& side) {
    return displayUnit(std::max(std::fabs(side.scale[0]), std::fabs(side.scale[1])), side.unit);
}

std::string loopPowerText(const Setup& s) {
    // "24v" and "28v" are on; "off" and "none" are off.
    return s.loopPower == "24v" ? "24 V" : s.loopPower == "28v" ? "28 V" : "off";
}

std::string standardName(const std::string& standard) {
    if (standard == "its90") return "ITS-90";
    if (standard == "ipts68") return "IPTS-68";
    return standard;
}

std::string describeInput(const Setup& s) {
    std::string range = s.automaticRange ? "automatic range" : "fixed range";
    if (s.rangeHigh > 0) range += " up to " + quantity(s.rangeHigh, s.input.unit, 4);
    return fmt::format("{} ({}), {}", withSensor(s.input), range, scaleText(s.input));
}

std::string describeOutput(const Setup& s) {
    return fmt::format("{}, {}", withSensor(s.output), scaleText(s.output));
}

std::string describeTemperatures(const Setup& s) {
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

std::string describeRest(const Setup& s) {
    std::string text = "loop power " + loopPowerText(s) + ", tolerance " +
                       (s.tolerance > 0 ? "±" + number(s.tolerance) + " % of span" : "none");
    if (usesTemperature(s)) text += ", " + describeTemperatures(s);
    return text;
}

}  // namespace kvtapp
