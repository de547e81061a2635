#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "memory/record_views.h"

namespace kvtlnk {

// A setup-state object that template decoding loads a template's setup into (StateTarget in
// setup_record.h); decoding for the record's fields alone passes nullptr.
class SetupTarget {
  public:
    virtual ~SetupTarget() = default;
    // Restores the target from the setup record that setup names, as STArestore does. When
    // that fails the target is committed and the template does not decode.
    virtual bool restore(MemoryImage& image, RecordRef setup) = 0;
    // A calibration result carries parts of the setup it ran with: the pressure module, whether
    // it was attached, and the reference-junction temperature. Applies those the result holds
    // and commits.
    virtual void applyResult(const CalResultView& result) = 0;
    // Commits the target; the template decodes only when its input and output scaling are
    // both on afterwards.
    virtual bool commitScaled() = 0;
};

// The decoded view of a TEMPLATE (or of a calibration result run from one, whose texts are
// those of its tag). The texts point into the records' data; absent ones are nullptr.
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

// Loads the setup a decoded calibration result ran with into target: restored from the setup
// record it names, then the parts the result carries applied. False when the target cannot
// take the setup, or lacks a scaling afterwards.
bool loadResultSetup(MemoryImage& image, const CalResultView& result, SetupTarget& target);

// Decodes the record that ref names as a template, or as a calibration result, loading its
// setup into target when one is given. Fails on a record of another kind, a field past the
// record's end, a strategy that does not decode, or a setup the target cannot take.
bool decodeTemplate(MemoryImage& image, RecordRef ref, SetupTarget* target, TemplateInfo* info);

}  // namespace kvtlnk
