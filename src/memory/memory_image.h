#pragma once

#include <cstdint>
#include <memory>

#include "memory/name_index.h"
#include "memory/record_store.h"

namespace kvtlnk {

// A signed 32-bit name of a record in either memory: r >= 0 is procedure index r, r < 0 is
// results index -r - 1, kNoRecord names nothing. Stored big-endian inside records.
using RecordRef = int32_t;
constexpr RecordRef kNoRecord = 0x7FFFFFFF;

// A decoded calibration result: the references it holds and where its parts lie in the
// record's data (nullptr for a part the record does not carry).
struct CalResultView {
    RecordRef self = kNoRecord;
    RecordRef setup = kNoRecord;
    RecordRef strategy = kNoRecord;
    int16_t count = 0;  // entries, one per strategy point
    uint8_t flag = 0;   // set when above 0
    const uint8_t* entries = nullptr;
    const uint8_t* pressureModule = nullptr;
    const uint8_t* modulePresent = nullptr;
    const uint8_t* junctionTemperature = nullptr;
};

struct EntryRanges;  // cal_result.h

// The calibration result that the results calls selected last, kept decoded from one call to
// the next. Its view points into the result's record and its decoding read the setup and the
// strategy it names, in either memory; so it is held only while neither memory has lost or
// rewritten a record since (their epochs). Records appended later change nothing it read.
struct CurrentResult {
    CurrentResult();
    ~CurrentResult();  // in cal_result.cpp, beside EntryRanges

    bool held = false;
    int32_t index = 0;  // in the results memory
    uint64_t procedureEpoch = 0;
    uint64_t resultsEpoch = 0;
    CalResultView view;
    // The ranges its entries were taken in, from its setup, loaded when an entry is first read;
    // or the setup could not be taken, and no entry reads.
    std::unique_ptr<EntryRanges> ranges;
    bool setupRefused = false;
};

// The calibrator's two memories as the library holds them.
class MemoryImage {
  public:
    MemoryImage() : procedure_(Memory::Procedure), results_(Memory::Results) {}

    RecordStore& procedure() { return procedure_; }
    RecordStore& results() { return results_; }
    const RecordStore& procedure() const { return procedure_; }
    const RecordStore& results() const { return results_; }
    RecordStore& store(Memory m) { return m == Memory::Procedure ? procedure_ : results_; }
    const RecordStore& store(Memory m) const {
        return m == Memory::Procedure ? procedure_ : results_;
    }

    // The memory use the calibrator reports: both stores and a 22-byte header for each.
    uint32_t usedBytes() const {
        return procedure_.usedBytes() + results_.usedBytes() + 2 * RecordStore::kStoreHeaderBytes;
    }

    // Look-ups by name in the procedure memory (strategies, prompt definitions), kept in step
    // with it through its epoch.
    NameIndex& strategyNames() { return strategyNames_; }
    NameIndex& promptDefnNames() { return promptDefnNames_; }

    // The calibration result that the results calls selected last; each call selects it
    // again by index, and finds it still decoded when nothing has changed since.
    CurrentResult& currentResult() { return currentResult_; }

  private:
    RecordStore procedure_;
    RecordStore results_;
    NameIndex strategyNames_;
    NameIndex promptDefnNames_;
    CurrentResult currentResult_;
};

// The reference of index in memory m, or kNoRecord when the index is outside the memory.
RecordRef makeRef(const MemoryImage& image, Memory m, int32_t index);
inline bool isResultsRef(RecordRef r) {
    return r < 0;
}
inline int32_t refIndex(RecordRef r) {
    return r >= 0 ? r : -(r + 1);  // never negates INT32_MIN
}
inline Memory refMemory(RecordRef r) {
    return r < 0 ? Memory::Results : Memory::Procedure;
}
Record* resolveRef(MemoryImage& image, RecordRef r);
const Record* resolveRef(const MemoryImage& image, RecordRef r);
// The next record of the same memory, or kNoRecord past its end.
RecordRef nextRef(const MemoryImage& image, RecordRef r);

}  // namespace kvtlnk
