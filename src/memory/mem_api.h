#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "support/font.h"
#include "support/text_tables.h"

namespace kvtlnk {

class SetupState;

// The MEM calls, working on the image (and the font, the setup, the text tables) they are given;
// the exported functions pass the library's. Results are the library's result codes.

// Building the procedure memory.
void memClear(MemoryImage& image);
uint32_t memStrategyDefn(MemoryImage& image, uint32_t* index, const char* name, int32_t n,
                         const float* points);
// Prompt texts are measured in the font of the calibrator's prompt area.
uint32_t memCheckPromptDefn(const ProportionalFont& font, const char* text,
                            uint32_t* fittingLength);
uint32_t memPromptDefn(MemoryImage& image, const ProportionalFont& font, const char* name,
                       const char* text);
uint32_t memStartTask(MemoryImage& image, const char* name);
uint32_t memPrompt(MemoryImage& image, const char* promptDefnName);
uint32_t memTemplate(MemoryImage& image, uint32_t strategyIndex, uint32_t flag, const char* text1,
                     const char* text2, uint32_t setupIndex);
uint32_t memEndTask(MemoryImage& image);

// The bytes the image takes in the calibrator's memories, and the records of each memory; the
// outputs may be NULL.
void memUsed(const MemoryImage& image, uint32_t* bytes);
void memRecordCounts(const MemoryImage& image, uint32_t* procedureRecords, uint32_t* resultRecords);

// Reading the image. Text outputs take names and template texts of up to 32 characters (33
// bytes) and strategy names of up to 20 (21 bytes); longer uploaded texts are cut to fit.
struct DirEntry {
    uint32_t code = 0;
    uint32_t year = 0;
    uint32_t month = 0;
    uint32_t day = 0;
    uint32_t hour = 0;
    uint32_t minute = 0;
    uint32_t second = 0;
};
constexpr uint32_t kNameBuffer = 33;
constexpr uint32_t kStrategyNameBuffer = 21;

uint32_t memDir(const MemoryImage& image, Memory memory, int32_t index, DirEntry* entry);
// The same into the caller's outputs, each of which may be NULL; untouched on failure.
uint32_t memDir(const MemoryImage& image, Memory memory, int32_t index, uint32_t* code,
                uint32_t* year, uint32_t* month, uint32_t* day, uint32_t* hour, uint32_t* minute,
                uint32_t* second);
uint32_t memTaskInfo(const MemoryImage& image, int32_t index, char* name, uint32_t* taskWord);
uint32_t memStrategyInfo(const MemoryImage& image, int32_t index, char* name, int32_t* count,
                         int32_t maxPoints, float* points);
uint32_t memTemplateInfo(MemoryImage& image, int32_t index, uint32_t* strategyIndex, uint32_t* flag,
                         char* text1, char* text2);
// Loads a template's setup into state (2014 when it cannot).
uint32_t memTemplateState(MemoryImage& image, SetupState& state, int32_t index);
uint32_t memPromptInfo(MemoryImage& image, int32_t index, char* name);
uint32_t memPromptDefnInfo(const MemoryImage& image, int32_t index, char* name,
                           uint32_t* textLength, int32_t textSize, char* text);

// Reading calibration results. Tag texts are cut to 32 characters (33 bytes).
struct EntryValues {
    float inValue = 0;
    uint32_t inFlag = 0;
    float inLimit = 0;
    float outValue = 0;
    uint32_t outFlag = 0;
    float outLimit = 0;
    float thirdValue = 0;
};
uint32_t memCalResult(MemoryImage& image, int32_t index, uint32_t* entryCount);
uint32_t memCalResultEntry(MemoryImage& image, int32_t index, int32_t entry, EntryValues* values);
// The same into the caller's outputs, each of which may be NULL; untouched on failure.
uint32_t memCalResultEntry(MemoryImage& image, int32_t index, int32_t entry, float* inValue,
                           uint32_t* inFlag, float* inLimit, float* outValue, uint32_t* outFlag,
                           float* outLimit, float* thirdValue);
uint32_t memBaseState(MemoryImage& image, SetupState& state, int32_t index);
uint32_t memAsflInfo(MemoryImage& image, int32_t index, uint32_t* taskIndex,
                     uint32_t* strategyIndex, uint32_t* flag);
uint32_t memTagidInfo(MemoryImage& image, uint32_t index, char* text1, char* text2, char* text3);

// Writes the listing and data files of both memories into an existing directory. A path too
// long for the file names is refused with false and nothing written.
bool memDump(const MemoryImage& image, TextTables& tables, const char* directory);

}  // namespace kvtlnk
