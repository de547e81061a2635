// The calibrator's two memories as the tools hold them: the emulator's instrument, and the
// records of the image files the command-line tool and the emulator read and write.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/date_stamp.h"

namespace kvttools {

enum class Memory { Procedure, Results };

// One item of a calibrator memory: its kind, version word, date stamp and data.
struct MemoryRecord {
    uint16_t kind = 0;
    uint16_t version = 0;
    DateStamp stamp;
    std::vector<uint8_t> data;

    bool operator==(const MemoryRecord& o) const {
        return kind == o.kind && version == o.version && stamp == o.stamp && data == o.data;
    }
    bool operator!=(const MemoryRecord& o) const { return !(*this == o); }
};

// One of the instrument's two memories: a list of items that grows at the end, limited to
// 1,048,576 bytes counted as 24 bytes an item plus its data rounded up to even.
class CalibratorMemory {
  public:
    static constexpr uint32_t kCapacity = 0x100000;
    static constexpr uint32_t kItemHeaderBytes = 24;
    static constexpr uint32_t kMaxItemBytes = 64976;

    explicit CalibratorMemory(Memory which) : which_(which) {}

    Memory which() const { return which_; }
    char letter() const { return which_ == Memory::Procedure ? 'p' : 'r'; }
    const std::vector<MemoryRecord>& records() const { return records_; }
    int32_t count() const { return static_cast<int32_t>(records_.size()); }
    uint32_t usedBytes() const { return used_; }
    uint32_t freeBytes() const { return kCapacity - used_; }

    // What an item of this many data bytes takes of the memory.
    static uint32_t share(uint32_t length) { return kItemHeaderBytes + ((length + 1u) & ~1u); }
    bool fits(uint32_t length) const {
        return length <= kMaxItemBytes && share(length) <= freeBytes();
    }

    // Appends the item and returns its index, or -1 when it does not fit.
    int32_t append(MemoryRecord record);
    MemoryRecord* item(int32_t index);
    const MemoryRecord* item(int32_t index) const;
    void clear();
    // Replaces every item; false (and nothing changed) when they do not fit.
    bool replace(std::vector<MemoryRecord> records);

  private:
    Memory which_;
    std::vector<MemoryRecord> records_;
    uint32_t used_ = 0;
};

}  // namespace kvttools
