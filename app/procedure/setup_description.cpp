#include "procedure/setup_description.h"

#include <fmt/format.h>

#include <cmath>
#include <functional>

#include "base/json.h"
#include "base/units.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"
#include "procedure/setup_names.h"
#include "procedure/setup_pressure.h"

namespace kvtapp {
namespace {

std::string named(const std::string& name) {
    return "\"" + name + "\"";
}

// ---- Reading the description ----

std::string readName(Checker& check, const json& object, const std::string& path, const char* key,
                     bool required) {
    const auto it = object.find(key);
    if (it == object.end()) {
        if (required) check.required(object, path, key);
        return "";
    }
    return check.name(*it, member(path, key)).value_or("");
}

void readScale(Checker& check, const json& side, SideDefinition& definition) {
    const std::string field = member(definition.path, "scale");
    const json* scale = check.required(side, definition.path, "scale");
    if (!scale) return;
    if (!scale->is_array() || scale->size() != 2) {
        check.problem(field,
                      "must be a list of two numbers, the ends of the span the test's "
                      "points step through");
        return;
    }
    const size_t problemsBefore = check.count();
    for (size_t i = 0; i < 2; ++i) {
        definition.scale[i] = check.number((*scale)[i], element(field, i)).value_or(0);
    }
    if (check.count() == problemsBefore && definition.scale[0] == definition.scale[1]) {
        check.problem(field, "its two ends are equal; a span needs two different ends");
    }
}

SideDefinition readSide(Checker& check, const json& setup, const std::string& path, bool output,
                        const LabSource& lab) {
    SideDefinition side;
    side.path = member(path, output ? "output" : "input");
    const size_t problemsBefore = check.count();
    side.complete = false;
    const json* v = check.required(setup, path, output ? "output" : "input");
    if (!v) return side;
    const bool isObject =
        output
            ? check.object(*v, side.path,
                           {"function", "sensor", "units", "module", "value", "amplitude", "scale"})
            : check.object(*v, side.path,
                           {"function", "sensor", "units", "module", "range", "scale"});
    if (!isObject) return side;
    side.function = readName(check, *v, side.path, "function", true);
    side.sensor = readName(check, *v, side.path, "sensor", false);
    if (side.sensor.empty() && unitFamily(side.function) == UnitFamily::Temperature) {
        check.problem(side.path, fmt::format("missing key \"sensor\": {} needs a {} type",
                                             named(side.function),
                                             side.function == "tc" ? "thermocouple" : "RTD"));
    }
    side.units = readName(check, *v, side.path, "units", false);
    if (!side.units.empty() && (unitFamily(side.function) == UnitFamily::Electrical ||
                                unitFamily(side.function) == UnitFamily::None)) {
        check.problem(member(side.path, "units"),
                      fmt::format("{} has no units to choose; units apply to the temperature "
                                  "functions (tc and the RTDs) and to pressure",
                                  named(side.function)));
    }
    if (v->contains("value")) side.value = check.number((*v)["value"], member(side.path, "value"));
    if (v->contains("amplitude")) {
        side.amplitude =
            check.number((*v)["amplitude"], member(side.path, "amplitude")).value_or(0);
    }
    if (v->contains("range") && (*v)["range"] != "auto") {
        side.range = check.number((*v)["range"], member(side.path, "range"));
    }
    if (v->contains("module")) readModule(check, *v, lab, side);
    readScale(check, *v, side);
    side.complete = check.count() == problemsBefore;
    return side;
}

void readJunction(Checker& check, const json& setup, SetupDefinition& definition) {
    const std::string path = member(definition.path, "referenceJunction");
    const auto it = setup.find("referenceJunction");
    if (it == setup.end() || !check.object(*it, path, {"mode", "temperature"})) return;
    definition.junctionMode = readName(check, *it, path, "mode", true);
    if (it->contains("temperature")) {
        definition.junctionTemperature =
            check.number((*it)["temperature"], member(path, "temperature")).value_or(0);
    }
}

// ---- Making the setup ----

// What the calibrator's two sides and loop power are, for the message of a warning.
struct Sides {
    std::string input, output, loopPower;
};

Sides currentSides() {
    char input[KVTLNK_NAME_SIZE] = "";
    char output[KVTLNK_NAME_SIZE] = "";
    char loop[KVTLNK_NAME_SIZE] = "";
    STAgetInput(input, nullptr, nullptr, nullptr, nullptr, nullptr);
    STAgetOutput(output, nullptr, nullptr, nullptr, nullptr, nullptr);
    STAgetLoopPower(loop);
    return {input, output, loop};
}

// What the calibrator changes to make way for a setting, by the warning it reports.
std::string makesWay(uint32_t warning, const Sides& before) {
    const std::string input = "the input " + named(before.input);
    const std::string output = "the output " + named(before.output);
    const std::string loop = "loop power " + named(before.loopPower);
    switch (warning) {
        case KVTLNK_W_LOOP_POWER_OFF:
            return "cannot run beside " + loop + ": the calibrator would switch loop power off";
        case KVTLNK_W_INPUT_TO_DCV:
            return "cannot run beside " + input + ": the calibrator would measure dcv instead";
        case KVTLNK_W_OUTPUT_TO_NONE:
            return "cannot run beside " + output + ": the calibrator would source nothing";
        case KVTLNK_W_INPUT_TO_DCV_LOOP_OFF:
            return "cannot run beside " + input + " and " + loop +
                   ": the calibrator would measure dcv instead and switch loop power off";
        case KVTLNK_W_OUTPUT_TO_NONE_LOOP_OFF:
            return "cannot run beside " + output + " and " + loop +
                   ": the calibrator would source nothing and switch loop power off";
        default:
            return fmt::format("is refused: {}: {}", warning, kvtlnkMessage(warning));
    }
}

// The last value between taken and refused that the setter takes.
double edge(const std::function<bool(double)>& takes, double taken, double refused) {
    for (int i = 0; i < 80; ++i) {
        const double middle = (taken + refused) / 2;
        if (middle == taken || middle == refused) break;
        (takes(middle) ? taken : refused) = middle;
    }
    return taken;
}

// A value the setter takes: one of known, or a power of ten.
std::optional<double> takenValue(const std::function<bool(double)>& takes,
                                 std::initializer_list<double> known) {
    for (double k : known) {
        if (takes(k)) return k;
    }
    for (double k = 1e-6; k <= 1e6; k *= 10) {
        if (takes(k)) return k;
    }
    return std::nullopt;
}

// How far a setter reaches, as the library decides it: " (0 to 24 mA)", " (up to 300 V)"; ""
// when it takes no value that could be found.
std::string reach(const std::function<bool(double)>& takes, std::optional<double> start,
                  double refused, const std::string& unit) {
    constexpr double kFar = 1e9;
    if (!start) return "";
    const bool below = !takes(-kFar);
    const bool above = !takes(kFar);
    const double high = above ? edge(takes, *start, refused > *start ? refused : kFar) : 0;
    const double low = below ? edge(takes, *start, refused < *start ? refused : -kFar) : 0;
    if (above && below) return " (" + quantityRange(low, high, unit) + ")";
    if (above) return " (up to " + quantity(high, unit, 4) + ")";
    return below ? " (from " + quantity(low, unit, 4) + ")" : "";
}

bool outOfReach(uint32_t rc) {
    return rc == KVTLNK_E_OUTPUT_RANGE || rc == KVTLNK_E_TC_CONVERSION ||
           rc == KVTLNK_E_RTD_CONVERSION;
}

class SetupMaker {
  public:
    SetupMaker(const SetupDefinition& setup, std::vector<Problem>& problems)
        : setup_(setup), problems_(problems) {}

    void make() {
        const SideDefinition& in = setup_.input;
        const SideDefinition& out = setup_.output;
        for (const SideDefinition* side : {&in, &out}) {
            if (side->function == "pressure") pressureHigh_ = pressureReach(side->units);
        }
        STAinit();
        const std::string& path = setup_.path;
        if (!setup_.standard.empty()) {
            run(member(path, "temperatureStandard"),
                "the temperature standard " + named(setup_.standard), "a temperature standard",
                kStandards, setup_.standard,
                [&] { return STAsetTempStd(setup_.standard.c_str()); });
        }
        for (const SideDefinition* side : {&in, &out}) {
            if (side->complete) units(*side);
        }
        if (!setup_.junctionMode.empty()) {
            const bool user = setup_.junctionMode == "user";
            run(member(path, "referenceJunction"),
                "the reference junction " + named(setup_.junctionMode) +
                    (user ? " at " + quantity(setup_.junctionTemperature, temperatureUnit()) : ""),
                "a reference-junction mode", kJunctionModes, setup_.junctionMode, [&] {
                    return STAsetTref(setup_.junctionMode.c_str(), setup_.junctionTemperature);
                });
        }
        if (in.complete) input(in);
        if (out.complete) output(out);
        if (!setup_.loopPower.empty()) {
            run(member(path, "loopPower"), "loop power " + named(setup_.loopPower),
                "a loop power setting", kLoopPower, setup_.loopPower,
                [&] { return STAsetLoopPower(setup_.loopPower.c_str()); });
        }
        // Last, since a change of function or units drops the scales, and dropping a scale
        // switches the tolerance off.
        STAsetInputScale(in.scale[0], in.scale[1]);
        STAsetOutputScale(out.scale[0], out.scale[1]);
        if (setup_.tolerance) STAsetTestTolerance(*setup_.tolerance);
    }

  private:
    void problem(const std::string& field, const std::string& message) {
        problems_.push_back({field, message});
    }

    // Runs a setter and reports what it refused, or changed to make way for the setting; a
    // refused name is not among the valid names of its kind.
    void run(const std::string& field, const std::string& setting, const std::string& kind,
             const Names& valid, const std::string& name, const std::function<uint32_t()>& setter) {
        const Sides before = currentSides();
        const uint32_t rc = setter();
        if (rc == KVTLNK_OK) return;
        if (rc == KVTLNK_E_ARGUMENT) {
            return problem(field, unknownName(name, kind + " the calibrator knows", valid));
        }
        problem(field, setting + " " + makesWay(rc, before));
    }

    static std::string temperatureUnit() {
        char units[16] = "";
        return unitSymbol("tc", STAgetTempUnits(units), "");
    }

    static std::string unit(const SideDefinition& side) {
        char temperature[16] = "";
        char pressure[16] = "";
        return unitSymbol(side.function, STAgetTempUnits(temperature), STAgetPresUnits(pressure));
    }

    static std::string function(const SideDefinition& side) {
        return named(side.function) + (side.sensor.empty() ? "" : " with " + named(side.sensor));
    }

    void units(const SideDefinition& side) {
        const UnitFamily family = unitFamily(side.function);
        const bool temperature = family == UnitFamily::Temperature;
        if (side.units.empty() || (!temperature && family != UnitFamily::Pressure)) return;
        run(member(side.path, "units"), "the units " + named(side.units),
            temperature ? "a temperature unit" : "a pressure unit",
            temperature ? kTemperatureUnits : kPressureUnits, side.units, [&] {
                return temperature ? STAsetTempUnits(side.units.c_str())
                                   : STAsetPresUnits(side.units.c_str());
            });
    }

    // Selects a side's function; false when the library refused it.
    bool select(const SideDefinition& side, bool output, const std::function<uint32_t()>& setter) {
        const std::string field = member(side.path, "function");
        const Names& functions = output ? kOutputFunctions : kInputFunctions;
        if (!among(functions, side.function)) {
            problem(field, unknownName(side.function,
                                       output ? "a function the calibrator sources"
                                              : "a function the calibrator measures",
                                       functions));
            return false;
        }
        const Sides before = currentSides();
        const uint32_t rc = setter();
        const Names* sensors = sensorsOf(side.function);
        if (rc == KVTLNK_E_ARGUMENT && sensors != nullptr) {
            problem(member(side.path, "sensor"),
                    unknownName(side.sensor,
                                "a sensor of " + named(side.function) + " the calibrator knows",
                                *sensors));
        } else if (rc != KVTLNK_OK) {
            problem(field, (output ? "the output " : "the input ") + function(side) + " " +
                               makesWay(rc, before));
        }
        return rc < KVTLNK_E_STATUS_15000;
    }

    // A pressure scale within the span of the module the side names, else within the pressure
    // range the calibrator has without one.
    void pressureScale(const SideDefinition& side) {
        const std::string scale = member(side.path, "scale");
        const std::string u = unit(side);
        for (size_t i = 0; i < 2; ++i) {
            const float v = side.scale[i];
            if (side.moduleSpan && (v < side.moduleSpan->first || v > side.moduleSpan->second)) {
                problem(
                    element(scale, i),
                    fmt::format("{} is beyond the span of the pressure module ({})", quantity(v, u),
                                quantityRange(side.moduleSpan->first, side.moduleSpan->second, u)));
            } else if (!side.moduleSpan && std::fabs(v) > pressureHigh_) {
                problem(element(scale, i),
                        fmt::format("{} is beyond the calibrator's pressure range (up to {})",
                                    quantity(v, u), quantity(pressureHigh_, u, 5)));
            }
        }
    }

    // A reading the input cannot hold: how far the function's ranges reach.
    std::string inputReach(const SideDefinition& side, float value) const {
        const auto takes = [](double v) {
            return STAsetInputRange(0, static_cast<float>(v)) == KVTLNK_OK;
        };
        STAsetInputRange(0, static_cast<float>(edge(takes, 0, std::fabs(value))));
        uint32_t automatic = 0;
        float high = 0;
        STAgetInputRange(&automatic, &high);
        return fmt::format("{} is beyond every {} measure range (up to {})",
                           quantity(value, unit(side)), named(side.function),
                           quantity(high, unit(side), 4));
    }

    void input(const SideDefinition& side) {
        if (!select(side, false,
                    [&] { return STAsetInput(side.function.c_str(), side.sensor.c_str()); })) {
            return;
        }
        if (side.function == "pressure") pressureScale(side);
        // Each end of the scale must fit a range of the function (the functions without ranges
        // to choose from refuse the question).
        const std::string scale = member(side.path, "scale");
        for (size_t i = 0; i < 2; ++i) {
            if (STAsetInputRange(0, side.scale[i]) == KVTLNK_E_NO_VALUE) {
                problem(element(scale, i), inputReach(side, side.scale[i]));
            }
        }
        if (!side.range) {
            STAsetInputRange(1, 0);
            return;
        }
        const std::string field = member(side.path, "range");
        const uint32_t rc = STAsetInputRange(0, *side.range);
        if (rc == KVTLNK_E_NO_VALUE) return problem(field, inputReach(side, *side.range));
        if (rc != KVTLNK_OK) {
            return problem(field, fmt::format("the input {} has no fixed range: {}: {}",
                                              function(side), rc, kvtlnkMessage(rc)));
        }
        uint32_t automatic = 0;
        float high = 0;
        STAgetInputRange(&automatic, &high);
        for (size_t i = 0; i < 2; ++i) {
            if (std::fabs(side.scale[i]) <= high) continue;
            problem(
                element(scale, i),
                fmt::format("{} is beyond the fixed range, which reaches up to {}",
                            quantity(side.scale[i], unit(side)), quantity(high, unit(side), 4)));
        }
    }

    uint32_t source(const SideDefinition& side, double value) const {
        return STAsetOutput(side.function.c_str(), side.sensor.c_str(), static_cast<float>(value),
                            amplitude_);
    }

    // A value the output refuses: how far the function reaches, as the library decides.
    std::string outputReach(const SideDefinition& side, float value) const {
        const auto takes = [&](double v) { return source(side, v) < KVTLNK_E_STATUS_15000; };
        const std::string u = unit(side);
        const std::string span =
            reach(takes, takenValue(takes, {0, side.scale[0], side.scale[1]}), value, u);
        if (side.sensor.empty()) {
            return fmt::format("{} is outside every {} source range{}", quantity(value, u),
                               named(side.function), span);
        }
        return fmt::format("{} is beyond what the source {} reaches{}", quantity(value, u),
                           function(side), span);
    }

    // Whether the output refuses the amplitude (only "freq" reads it), for a value it takes
    // with 1 V: then that is a problem, and the checks go on with 1 V.
    bool amplitudeRefused(const SideDefinition& side) {
        amplitude_ = 1;
        const auto takesValue = [&](double v) { return source(side, v) < KVTLNK_E_STATUS_15000; };
        const std::optional<double> value = takenValue(takesValue, {side.scale[0], side.scale[1]});
        amplitude_ = side.amplitude;
        if (!value || source(side, *value) < KVTLNK_E_STATUS_15000) return false;
        const auto takes = [&](double a) {
            return STAsetOutput(side.function.c_str(), side.sensor.c_str(),
                                static_cast<float>(*value),
                                static_cast<float>(a)) < KVTLNK_E_STATUS_15000;
        };
        problem(
            member(side.path, "amplitude"),
            fmt::format("{} is not an amplitude a {} source takes{}", quantity(side.amplitude, "V"),
                        named(side.function), reach(takes, 1.0, side.amplitude, "V")));
        amplitude_ = 1;
        return true;
    }

    void output(const SideDefinition& side) {
        amplitude_ = side.amplitude;
        const float first = side.value.value_or(side.scale[0]);
        const std::string scale = member(side.path, "scale");
        const std::string field = side.value ? member(side.path, "value") : element(scale, 0);
        uint32_t rc = KVTLNK_OK;
        const bool selected = select(side, true, [&] {
            rc = source(side, first);
            return outOfReach(rc) ? KVTLNK_OK : rc;
        });
        if (!selected) return;
        if (side.function == "pressure") pressureScale(side);
        if (outOfReach(rc) && amplitudeRefused(side)) rc = source(side, first);
        if (outOfReach(rc)) problem(field, outputReach(side, first));
        // The test sources the whole span: each end must be within reach.
        for (size_t i = 0; i < 2; ++i) {
            if (side.scale[i] == first || !outOfReach(source(side, side.scale[i]))) continue;
            problem(element(scale, i), outputReach(side, side.scale[i]));
        }
        source(side, first);
    }

    const SetupDefinition& setup_;
    std::vector<Problem>& problems_;
    float amplitude_ = kDefaultAmplitude;
    float pressureHigh_ = 0;  // how far the pressure range reaches, in the pressure side's units
};

}  // namespace

std::vector<SetupDefinition> readSetups(Checker& check, const json& root, const LabSource& lab) {
    std::vector<SetupDefinition> setups;
    const auto it = root.find("setups");
    if (it == root.end()) return setups;
    if (!it->is_object()) {
        check.problem("setups", "must be an object of setups by name, not " + describeType(*it));
        return setups;
    }
    for (const auto& [name, value] : it->items()) {
        if (name == "comment") continue;
        SetupDefinition s;
        s.name = name;
        s.path = "setups." + name;
        if (!check.object(value, s.path,
                          {"input", "output", "loopPower", "referenceJunction",
                           "temperatureStandard", "tolerance"})) {
            continue;
        }
        s.input = readSide(check, value, s.path, false, lab);
        s.output = readSide(check, value, s.path, true, lab);
        s.loopPower = readName(check, value, s.path, "loopPower", false);
        s.standard = readName(check, value, s.path, "temperatureStandard", false);
        readJunction(check, value, s);
        if (value.contains("tolerance")) {
            const std::string field = member(s.path, "tolerance");
            s.tolerance = check.number(value["tolerance"], field);
            if (s.tolerance && !(*s.tolerance > 0)) {
                check.problem(field,
                              "must be above 0 (the largest error a test point may "
                              "have, in % of the span)");
            }
        }
        const bool bothTemperatures = unitFamily(s.input.function) == UnitFamily::Temperature &&
                                      unitFamily(s.output.function) == UnitFamily::Temperature;
        if (bothTemperatures && !s.input.units.empty() && !s.output.units.empty() &&
            s.input.units != s.output.units) {
            check.problem(member(s.output.path, "units"),
                          "the calibrator shows every temperature in one unit, and the input's "
                          "is " +
                              named(s.input.units));
        }
        // What reads is made too, so that every problem of the setup shows at once.
        applySetup(s, check.problems());
        setups.push_back(std::move(s));
    }
    return setups;
}

void applySetup(const SetupDefinition& setup, std::vector<Problem>& problems) {
    SetupMaker(setup, problems).make();
}

int32_t saveSetup(const SetupDefinition& setup) {
    std::vector<Problem> problems;
    applySetup(setup, problems);
    if (!problems.empty()) {
        std::string lines;
        for (const Problem& p : problems)
            lines += (lines.empty() ? "" : "\n") + p.field + ": " + p.message;
        throw inputError(lines);
    }
    int32_t index = -1;
    const uint32_t rc = STAsave(&index);
    if (rc != KVTLNK_OK) throw libraryError(rc, "saving " + setup.path);
    return index;
}

}  // namespace kvtapp
