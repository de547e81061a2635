#pragma once

#include <string>
#include <vector>

#include "emu_memory.h"

namespace k27emu {

// Both memories of the instrument as a JSON document:
//   {"procedure": [ITEM...], "results": [ITEM...]}
// with each ITEM {"kind": 14, "version": 0, "stamp": "1998-06-15 12:30:05",
// "data": "0000000300..."} (data as hex, two digits a byte). Other keys (such as a "name"
// of the kind) are ignored when reading; the weekday of a stamp follows from its date.
struct MemoryFile {
    std::vector<EmuRecord> procedure;
    std::vector<EmuRecord> results;
};

// False with a message naming the item and the field when the text is not such a document
// or an item is out of bounds (a kind or version above 65535, more than 64,976 data bytes, a
// date outside 1992 ... 2091, a memory of more than 1,048,576 bytes).
bool parseMemoryFile(const std::string& text, MemoryFile* out, std::string* error);
std::string formatMemoryFile(const MemoryFile& file);

bool loadMemoryFile(const std::string& path, MemoryFile* out, std::string* error);
bool saveMemoryFile(const std::string& path, const MemoryFile& file, std::string* error);

}  // namespace k27emu
