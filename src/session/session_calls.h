#pragma once

#include <cstddef>
#include <cstdint>

#include "memory/memory_image.h"
#include "session/session_state.h"

namespace kvtlnk {

// The calibrator session's operations behind the KVT exports. Each returns a result code;
// pointer arguments are checked here, after the open-session check.

// Identification: "id", "ed" and the item counts of "ms". The texts are cut to their sizes.
struct Identity {
    char* model;
    size_t modelSize;
    char* ident3;
    size_t ident3Size;
    char* firmwareVersion;
    size_t firmwareVersionSize;
};
uint32_t getK2x(SessionState& s, const Identity& id, uint32_t* edValue, uint32_t* procItems,
                uint32_t* resultItems);
uint32_t memStats(SessionState& s, uint32_t* field3Total, uint32_t* field4Total);
// "ms" with exactly one line for each memory.
uint32_t itemCounts(int32_t* procItems, int32_t* resultItems);

// Download of the image's procedure memory, one record per step.
// The firmware level takes every record of the procedure memory (0 or 2005).
uint32_t firmwareCheck(int32_t firmwareLevel, const RecordStore& procedure);
uint32_t downloadStart(SessionState& s, const MemoryImage& image, uint32_t* itemCount);
uint32_t downloadStep(SessionState& s, const MemoryImage& image, uint32_t* remaining);
uint32_t clearProcedures(SessionState& s);

// Command texts and the data block packets of a download.
constexpr uint32_t kBlockData = 115;
constexpr uint32_t kBlockHeader = 13;
// "ma p,kind,version,length"; a record without data is announced with length 1.
int allocateCommand(const Record& record, char* out, size_t outSize);
// The "mbp" block of the record's data from offset on: header and at most 115 bytes. Returns
// the packet's length (0 when offset is at or past the end of the data).
uint16_t dataBlock(const Record& record, int32_t index, uint32_t offset,
                   uint8_t (&out)[kBlockHeader + kBlockData]);

// Upload of both memories into the image, one item per step.
uint32_t uploadStart(SessionState& s, MemoryImage& image, uint32_t* itemCount);
uint32_t uploadStep(SessionState& s, MemoryImage& image, uint32_t* remaining);

// Session start and end.
uint32_t openSession(SessionState& s, int32_t baud, const char* portName, uint32_t readTimeoutMs,
                     int32_t retries);
uint32_t closeSession(SessionState& s);

}  // namespace kvtlnk
