#pragma once

#include <cstdint>

#include "memory/memory_image.h"

namespace kvtlnk {

// The records a calibration result rests on, each a reference into either memory, kNoRecord
// for one it does not have. An application keeps them beside the result, so that the result
// can be decoded again from what it kept.
struct ResultRecords {
    RecordRef setup = kNoRecord;          // the setup it ran with
    RecordRef strategy = kNoRecord;       // the strategy of its points
    RecordRef templ = kNoRecord;          // the test (TEMPLATE) that made it
    RecordRef templateSetup = kNoRecord;  // the setup that test names
    RecordRef task = kNoRecord;           // the TASK_START of the task the test stands in
    RecordRef tag = kNoRecord;            // its TAG_ID
};

// The records the result at a results index rests on. It need not decode: its setup and
// strategy are the records its references name, whatever their kind. False when the record
// there is not a calibration result or ends before those two references.
bool findResultRecords(MemoryImage& image, int32_t result, ResultRecords* records);

// One of them by its role (0 setup, 1 strategy, 2 test, 3 the test's setup, 4 task, 5 tag)
// into the caller's outputs, each of which may be nullptr: the memory's store id and the index,
// or 0 and -1 for none. 0; 2013 for another role; 2014 when there is no calibration result at
// the index.
uint32_t resultRecord(MemoryImage& image, int32_t result, uint32_t role, uint32_t* memory,
                      int32_t* index);

}  // namespace kvtlnk
