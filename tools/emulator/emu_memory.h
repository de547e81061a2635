// The emulator keeps its memories as the tools' common library holds them.
#pragma once

#include "common/memory.h"

namespace k27emu {

using kvttools::CalibratorMemory;
using kvttools::DateStamp;
using kvttools::Memory;
using kvttools::MemoryRecord;

}  // namespace k27emu
