#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory/memory_image.h"
#include "support/font.h"

namespace kvtlnk {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const Record& r) {
    return Bytes(r.data(), r.data() + r.length());
}
inline Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The font of the calibrator's prompt area, which prompt texts are measured in.
inline const ProportionalFont& promptFont() {
    static const ProportionalFont font = ProportionalFont::helvr12();
    return font;
}

// Appends a record as an upload would: whatever bytes the calibrator sent.
inline int32_t addRaw(RecordStore& store, uint16_t kind, const Bytes& data, uint16_t version = 0) {
    const int32_t index = store.beginRecord(kind, version);
    store.writeBytes(data.data(), static_cast<int32_t>(data.size()));
    store.endRecord();
    return index;
}

}  // namespace kvtlnk
