// The STA entry points of the setup: name checks, the object's operation on theSetupState,
// and the result code.
#include "kvtlnk/kvtlnk.h"
#include "setup/commit.h"
#include "setup/setup_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

extern "C" {

// Resets the setup and commits it; reports success as 1.
KVTLNK_API uint32_t KVTLNK_CALL STAinit(void) {
    return guarded(0, [] { return initSetup(theSetupState()) ? 1u : 0u; });
}

}  // extern "C"
