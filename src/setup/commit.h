#pragma once

#include <cstdint>

#include "setup/setup_state.h"

namespace kvtlnk {

// The shared tail of every STAset export: commits the object and reports its status as a
// result code (0, a warning 100-105 or an error). A setter that failed has always left a
// nonzero status, so its own result is not needed here.
uint32_t finishSetter(SetupState& state);

// The setup after STAinit: reset values, celsius, psi, ITS-90, setup code 5, committed.
// Returns commit's truth value, which after a reset is always true.
bool initSetup(SetupState& state);

// The recompute steps of commit, in the order commit runs them.
void updateOutputTref(SetupState& state);
void updateSourceTemp(SetupState& state);
void updateSourceElectrical(SetupState& state);
void updateInputTref(SetupState& state);

}  // namespace kvtlnk
