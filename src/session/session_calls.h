#pragma once

#include <cstddef>
#include <cstdint>

#include "memory/memory_image.h"
#include "propkt/link.h"
#include "session/session_state.h"

namespace kvtlnk {

// The calibrator session's operations behind the KVT exports, over the packet port of the link.
// Each returns a result code; pointer arguments are checked here, after the open-session check.

// Identification: "id", "ed" and the item counts of "ms". The texts are cut to their sizes.
struct Identity {
    char* model;
    size_t modelSize;
    char* ident3;
    size_t ident3Size;
    char* firmwareVersion;
    size_t firmwareVersionSize;
};
uint32_t getK2x(SessionState& s, PacketPort& port, const Identity& id, uint32_t* edValue,
                uint32_t* procItems, uint32_t* resultItems);
uint32_t memStats(SessionState& s, PacketPort& port, uint32_t* field3Total, uint32_t* field4Total);
// "ms" with exactly one line for each memory.
uint32_t itemCounts(PacketPort& port, int32_t* procItems, int32_t* resultItems);

// Download of the image's procedure memory, one record per step.
uint32_t downloadStart(SessionState& s, PacketPort& port, const MemoryImage& image,
                       uint32_t* itemCount);
uint32_t downloadStep(SessionState& s, PacketPort& port, const MemoryImage& image,
                      uint32_t* remaining);
uint32_t clearProcedures(SessionState& s, PacketPort& port);

// Upload of both memories into the image, one item per step.
uint32_t uploadStart(SessionState& s, PacketPort& port, MemoryImage& image, uint32_t* itemCount);
uint32_t uploadStep(SessionState& s, PacketPort& port, MemoryImage& image, uint32_t* remaining);

// Session start and end: the link is opened on the port and the calibrator identified and
// accepted; closing says farewell on the display and closes the link whatever that gave.
uint32_t openSession(SessionState& s, Link& link, int32_t baud, const char* portName,
                     uint32_t readTimeoutMs, int32_t retries);
uint32_t closeSession(SessionState& s, Link& link);

}  // namespace kvtlnk
