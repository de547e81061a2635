#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "memory/record_views.h"

namespace kvtlnk {

// A setup-state object that template decoding loads a template's setup into. The setup layer
// implements it around its SetupState; decoding for the record's fields alone passes nullptr.
class SetupTarget {
  public:
    virtual ~SetupTarget() = default;
    // Restores the target from the setup record that setup names, as STArestore does. When
    // that fails the target is committed and the template does not decode.
    virtual bool restore(MemoryImage& image, RecordRef setup) = 0;
    // Commits the target; the template decodes only when its input and output scaling are
    // both on afterwards.
    virtual bool commitScaled() = 0;
};

// The decoded view of a TEMPLATE (or of a calibration result run from one). The texts point
// into the records' data.
struct TemplateInfo {
    RecordRef setup = kNoRecord;
    RecordRef strategy = kNoRecord;
    RecordRef self = kNoRecord;
    int16_t flag = 0;
    const char* strategyName = nullptr;
    const char* text1 = nullptr;
    const char* text2 = nullptr;
    const char* text3 = nullptr;
};

// Decodes the record that ref names as a template, loading its setup into target when one is
// given. Fails on a record of another kind, a field past the record's end, a strategy that does
// not decode, or a setup the target cannot take.
bool decodeTemplate(MemoryImage& image, RecordRef ref, SetupTarget* target, TemplateInfo* info);

// The last steps every kind of template shares: with a target, commit it and require both
// scalings; then name the strategy.
bool finishTemplate(const StrategyView& strategy, SetupTarget* target, TemplateInfo* info);

}  // namespace kvtlnk
