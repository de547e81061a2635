#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "support/date_stamp.h"

namespace kvtlnk {

// One record of a calibrator memory: kind, version word, date stamp and data bytes.
class Record {
  public:
    uint16_t kind() const { return kind_; }
    uint16_t version() const { return version_; }
    uint32_t length() const { return length_; }
    const DateStamp& stamp() const { return stamp_; }
    void setStamp(const DateStamp& s) { stamp_ = s; }
    const uint8_t* data() const { return data_.get(); }
    uint8_t* data() { return data_.get(); }

  private:
    friend class RecordStore;
    std::unique_ptr<uint8_t[]> data_;
    uint32_t length_ = 0;
    uint16_t kind_ = 0;
    uint16_t version_ = 0;
    DateStamp stamp_;
};

// Which memory of the calibrator a store mirrors; the value is the store id.
enum class Memory : uint16_t { Procedure = 1, Results = 2 };

// The library's copy of one calibrator memory: an ordered list of records, addressed by index
// from 0, that grows at the end and shrinks only by cutting its tail. Memory use is counted as
// the calibrator counts it: 24 bytes of header per record plus its data rounded up to even.
// A store holds at most kMaxUsedBytes so counted, sixteen times a calibrator memory: a record
// that would take it further is not made (beginRecord gives -1 when not even a record of one
// byte fits, reserveBytes refuses, writeBytes copies what fits), so that what a calibrator or
// a file announces can never make the library hold more than that.
class RecordStore {
  public:
    static constexpr int32_t kHeaderBytes = 24;
    static constexpr int32_t kWorkingBlock = 65000;
    static constexpr int32_t kMaxData = kWorkingBlock - kHeaderBytes;  // 64,976
    static constexpr uint32_t kStoreHeaderBytes = 22;
    static constexpr uint32_t kMaxUsedBytes = 16u * 1048576u;

    // The clock that stamps finished records; the PC's local time unless a test sets its own.
    using StampClock = DateStamp (*)();

    explicit RecordStore(Memory memory) : memory_(memory) {}
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Removes the record at index and every record after it (index 0 empties the store).
    void truncate(int32_t index);
    // Starts a pending record; returns the index it will take, or -1 when no working block.
    int32_t beginRecord(uint16_t kind, uint16_t version);
    // Appends the pending record, stamped by the store's clock; nothing when it holds no data.
    void endRecord();

    // Building the pending record.
    int32_t writeBytes(const void* source, int32_t n);
    uint8_t* reserveBytes(int32_t n);
    int32_t seekWrite(int32_t offset);
    void setLengthToPosition();

    Record* selectRecord(int32_t index);
    const Record* selectRecord(int32_t index) const;
    int32_t count() const { return static_cast<int32_t>(records_.size()); }
    uint32_t usedBytes() const { return used_; }
    Memory memory() const { return memory_; }
    void setStampClock(StampClock clock) { stampClock_ = clock; }

    // Bumped whenever records are removed or the data of a finished record is rewritten by
    // its owner (see dataChanged), so that look-up indexes built over the store know when to
    // start again.
    uint64_t epoch() const { return epoch_; }
    void dataChanged() { ++epoch_; }

    // The share of one record in usedBytes().
    static uint32_t recordShare(uint32_t length) { return kHeaderBytes + ((length + 1u) & ~1u); }

  private:
    // The most data bytes a record may hold here: kMaxData, or less near the store's limit.
    int32_t dataRoom() const;

    std::vector<std::unique_ptr<Record>> records_;
    std::unique_ptr<uint8_t[]> pending_;
    uint16_t pendingKind_ = 0;
    uint16_t pendingVersion_ = 0;
    int32_t pendingLength_ = 0;
    int32_t writePos_ = 0;
    uint32_t used_ = 0;
    uint64_t epoch_ = 0;
    Memory memory_;
    StampClock stampClock_ = &stampNow;
};

}  // namespace kvtlnk
