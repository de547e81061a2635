#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "memory/template_decode.h"
#include "setup/setup_state.h"

namespace kvtlnk {

// Sizes of the blocks of a setup record (kinds 1 to 5), in the order they follow the head.
constexpr uint32_t kSetupMinMaxBytes = 12;
constexpr uint32_t kSetupOutputBytes = 72;
constexpr uint32_t kSetupLogHeadBytes = 28;
constexpr uint32_t kSetupPressureRefBytes = 4;

// Where the head keeps the two function codes (signed bytes).
constexpr uint32_t kHeadInFunction = 64;
constexpr uint32_t kHeadOutFunction = 76;

// Packs the setup into a new record at the end of the procedure memory: the form (kind 1 to 5)
// follows from setupCode, the version is 1 when a sensor type needs the later firmware. Returns
// the record's index, or -1 when setupCode names no form or the record could not be made
// (nothing is appended then).
int32_t saveSetup(const SetupState& state, RecordStore& procedure);

// STAsave: saves the setup and keeps it only when the calibrator's firmware level (1 later,
// 0 early, -1 refused) can take its version: 0, 2012 (not saved) or 2005 (removed again).
// index receives the record's index, or -1.
uint32_t staSave(const SetupState& state, MemoryImage& image, int32_t firmwareLevel,
                 int32_t* index);

// Unpacks a setup record into the object, which is reset first. A missing record, one of
// another kind or version, one with sensor types the calibrator does not have, or one shorter
// than the blocks its head calls for is refused with status 15013 and the object otherwise
// untouched.
bool restoreSetup(SetupState& state, const Record* record);

// STArestore: restores the setup record at a results-memory index and commits; the result
// code of the status when either fails (2005 for a record it cannot take).
uint32_t staRestore(SetupState& state, MemoryImage& image, int32_t index);

// The input and output function codes in the head of a setup record; false when the record
// is too short to hold its head.
bool setupFunctions(const Record& record, int32_t* inFunction, int32_t* outFunction);

// Template and result decoding load their setup into a setup-state object through this.
class StateTarget : public SetupTarget {
  public:
    explicit StateTarget(SetupState& state) : state_(state) {}
    bool restore(MemoryImage& image, RecordRef setup) override;
    void applyResult(const CalResultView& result) override;
    bool commitScaled() override;

  private:
    SetupState& state_;
};

}  // namespace kvtlnk
