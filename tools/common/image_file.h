// Files holding both memories of a calibrator: kvtsim's --image and --save, and the records of
// kvtlnk's image files.
#pragma once

#include <string>
#include <vector>

#include "common/json_text.h"
#include "common/memory.h"

namespace kvttools {

// Both memories of the instrument as a JSON document:
//   {"procedure": [ITEM...], "results": [ITEM...]}
// with each ITEM {"kind": 14, "name": "STRATEGY", "version": 0, "stamp": "1998-06-15 12:30:05",
// "data": "0000000300..."} (data as hex, two digits a byte). Other keys (the "name" of the
// kind, those of kvtlnk's image files) are ignored when reading. A stamp holds its fields as the
// calibrator sent them, whatever their values (a month 13 reads back as 13); its weekday
// follows from the date.
struct MemoryFile {
    std::vector<MemoryRecord> procedure;
    std::vector<MemoryRecord> results;
};

// What is wrong with a file, and where: field "procedure[3].data", or "(file)" for the text
// as a whole, "(top level)" for the document.
struct FileProblem {
    std::string field;
    std::string message;
    std::string text() const { return field + ": " + message; }
};

// The name of a record kind ("STRATEGY", "TASK_START", ...), "UNKNOWN" for others.
const char* kindName(uint16_t kind);
// "1998-06-15 12:30:05"
std::string formatStamp(const DateStamp& stamp);
// Two lowercase hex digits a byte.
std::string toHex(const std::vector<uint8_t>& data);
// One item as it stands in the file.
Json itemJson(const MemoryRecord& record);

// Both memories of a parsed document. False with the first problem when it holds neither a
// "procedure" nor a "results" list (a procedure description, say) or an item is out of bounds:
// a kind or version above 65535, more than 64,976 data bytes, a stamp with a year outside 1992
// ... 2247 or another field above 255, a memory of more than 1,048,576 bytes.
bool readMemoryDocument(const Json& document, MemoryFile* out, FileProblem* problem);
std::string formatMemoryFile(const MemoryFile& file);

// Reads and checks a file; errors read "PATH: field: message".
bool loadMemoryFile(const std::string& path, MemoryFile* out, std::string* error);

}  // namespace kvttools
