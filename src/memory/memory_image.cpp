#include "memory/memory_image.h"

#include <cstdint>

namespace kvtlnk {

RecordRef makeRef(const MemoryImage& image, Memory m, int32_t index) {
    if (index < 0 || index >= image.store(m).count()) return kNoRecord;
    return m == Memory::Procedure ? index : -index - 1;
}

Record* resolveRef(MemoryImage& image, RecordRef r) {
    if (r == kNoRecord) return nullptr;
    return image.store(refMemory(r)).selectRecord(refIndex(r));
}

const Record* resolveRef(const MemoryImage& image, RecordRef r) {
    return resolveRef(const_cast<MemoryImage&>(image), r);
}

RecordRef nextRef(const MemoryImage& image, RecordRef r) {
    if (r == kNoRecord || refIndex(r) == INT32_MAX) return kNoRecord;
    return makeRef(image, refMemory(r), refIndex(r) + 1);
}

}  // namespace kvtlnk
