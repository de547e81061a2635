#include "common/memory.h"

#include <utility>

namespace kvttools {

int32_t CalibratorMemory::append(MemoryRecord record) {
    const auto length = static_cast<uint32_t>(record.data.size());
    if (record.data.size() > kMaxItemBytes || !fits(length)) return -1;
    used_ += share(length);
    records_.push_back(std::move(record));
    return count() - 1;
}

MemoryRecord* CalibratorMemory::item(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return &records_[static_cast<size_t>(index)];
}

const MemoryRecord* CalibratorMemory::item(int32_t index) const {
    return const_cast<CalibratorMemory*>(this)->item(index);
}

void CalibratorMemory::clear() {
    records_.clear();
    used_ = 0;
}

bool CalibratorMemory::replace(std::vector<MemoryRecord> records) {
    uint64_t used = 0;
    for (const MemoryRecord& r : records) {
        if (r.data.size() > kMaxItemBytes) return false;
        used += share(static_cast<uint32_t>(r.data.size()));
    }
    if (used > kCapacity) return false;
    records_ = std::move(records);
    used_ = static_cast<uint32_t>(used);
    return true;
}

}  // namespace kvttools
