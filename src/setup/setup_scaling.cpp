#include "setup/setup_scaling.h"

#include <cstring>

#include "readings/units.h"

namespace kvtlnk {

float scaledToOutput(const SetupState& state, float x) {
    return scaledToOutput(state.outScaledMode, state.outScaledP1, state.outScaledP2, x);
}

void buildPressureRange(SetupState& state, uint32_t unit, float lowPsi, float highPsi,
                        int16_t resolution) {
    const PressureDisplay display = pressureDisplay(unit, lowPsi, highPsi, resolution);
    std::memcpy(state.pressureFormat, display.format, sizeof state.pressureFormat);
    state.pressureRangeEntry.low = display.low;
    state.pressureRangeEntry.high = display.high;
    state.pressureRanges.units = unit;
}

void buildPressureRange(SetupState& state, uint32_t unit) {
    buildPressureRange(state, unit, state.pressureLow, state.pressureHigh,
                       static_cast<int16_t>(state.pressureCode));
}

}  // namespace kvtlnk
