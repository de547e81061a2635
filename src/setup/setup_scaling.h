#pragma once

#include <cstdint>

#include "setup/setup_state.h"

namespace kvtlnk {

// The electrical value of scaled output value x under the object's output transfer function.
float scaledToOutput(const SetupState& state, float x);

// Rebuilds the object's pressure range for a display unit from the module's limits (psi) and
// resolution code (the decimal exponent of its last digit, 0xFFFF read as -1).
void buildPressureRange(SetupState& state, uint32_t unit, float lowPsi, float highPsi,
                        int16_t resolution);
// The same for the object's own pressure module.
void buildPressureRange(SetupState& state, uint32_t unit);

}  // namespace kvtlnk
