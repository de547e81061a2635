#pragma once

#include <cstdint>

#include "memory/memory_image.h"

namespace kvtlnk {

// Decoders of the procedure-memory records. Each reads with the bound at the record's end and
// fails on a field that runs past it; the views point into the record's data.

// A STRATEGY: its name and its points.
struct StrategyView {
    const char* name = nullptr;
    int16_t count = 0;
    const uint8_t* points = nullptr;  // count big-endian 16-bit values

    // Point i as a fraction of the span.
    float point(int i) const;
};

// Decodes any record as a strategy; the kind is not looked at. A negative point count fails.
bool decodeStrategy(const Record& record, StrategyView* view);
// The same for the record a reference names (in either memory).
bool decodeStrategyAt(const MemoryImage& image, RecordRef ref, StrategyView* view);

// A PROMPT_DEFN: its name and its text.
struct PromptDefnView {
    const char* name = nullptr;
    const char* text = nullptr;
};
bool decodePromptDefn(const Record& record, PromptDefnView* view);

// A TASK_START: its task word and name.
struct TaskView {
    uint16_t word = 0;
    const char* name = nullptr;
};
bool decodeTaskStart(const Record& record, TaskView* view);

// A TAG_ID: the three texts naming the item a calibration result was taken on.
struct TagView {
    const char* texts[3] = {nullptr, nullptr, nullptr};
};
// Fails unless all three texts end within the record.
bool decodeTag(const Record& record, TagView* view);

// Names that the look-ups go by: those of records of the right kind that decode.
const char* strategyName(const Record& record);
const char* promptDefnName(const Record& record);

// Index of the first STRATEGY, or PROMPT_DEFN, of the procedure memory with this name, or -1.
int32_t findStrategy(MemoryImage& image, const char* name);
int32_t findPromptDefn(MemoryImage& image, const char* name);

}  // namespace kvtlnk
