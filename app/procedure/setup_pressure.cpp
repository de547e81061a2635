#include "procedure/setup_pressure.h"

#include <fmt/format.h>

#include "kvtlnk/kvtlnk.h"

namespace kvtapp {

// How far the calibrator's pressure range reaches in these units (10 % beyond the span of the
// pressure module it assumes when none is attached): the input range of a pressure input.
float pressureReach(const std::string& units) {
    STAinit();
    if (!units.empty()) STAsetPresUnits(units.c_str());
    STAsetInput("pressure", "");
    uint32_t automatic = 0;
    float high = 0;
    STAgetInputRange(&automatic, &high);
    return high;
}

// The span of the pressure module a pressure side names, from the lab file, in the side's units.
void readModule(Checker& check, const json& side, const LabSource& lab,
                SideDefinition& definition) {
    const std::string field = member(definition.path, "module");
    const std::string serial = check.name(side.at("module"), field).value_or("");
    if (serial.empty()) return;
    if (definition.function != "pressure") {
        return check.problem(field, "a pressure module serves the function \"pressure\" only");
    }
    const kvtlab::Lab* found = lab ? lab() : nullptr;
    if (found == nullptr || found->path.empty()) {
        return check.problem(field, fmt::format("\"{}\" names a pressure module of the lab file, "
                                                "and there is none (--lab FILE, else "
                                                "~/.config/kvtlnk/lab.toml)",
                                                serial));
    }
    std::string known;
    for (const kvtlab::Standard& m : found->modules) {
        known += (known.empty() ? "" : ", ") + m.serial;
        // Units the calibrator does not know are a problem of their own.
        const double to = kvtlab::pascalsPer(definition.units.empty() ? "psi" : definition.units);
        if (m.serial != serial || to == 0) continue;
        const double scale = kvtlab::pascalsPer(m.units) / to;
        definition.moduleSpan = {static_cast<float>(m.rangeLow * scale),
                                 static_cast<float>(m.rangeHigh * scale)};
        return;
    }
    check.problem(field, fmt::format("\"{}\" is not a pressure module of the lab file ({})", serial,
                                     known.empty() ? "it names none" : known));
}

}  // namespace kvtapp
