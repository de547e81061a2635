#include "setup/setup_scaling.h"

#include <cstring>

#include "readings/units.h"

namespace kvtlnk {

float scaledToOutput(const SetupState& state, float x) {
    const TransferFunction& f = state.outScaled;
    return scaledToOutput(f.mode, f.p1, f.p2, x);
}

void buildPressureRange(SetupState& state, uint32_t unit, float lowPsi, float highPsi,
                        int16_t resolution) {
    const PressureDisplay display = pressureDisplay(unit, lowPsi, highPsi, resolution);
    PressureRange& range = state.pressureRange;
    std::memcpy(range.format, display.format, sizeof range.format);
    range.entry.low = display.low;
    range.entry.high = display.high;
    range.group.units = unit;
}

void buildPressureRange(SetupState& state, uint32_t unit) {
    const PressureModule& m = state.module;
    buildPressureRange(state, unit, m.low, m.high, static_cast<int16_t>(m.code));
}

}  // namespace kvtlnk
