#include "memory/record_store.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kvtlnk {

void RecordStore::truncate(int32_t index) {
    if (index < 0) return;
    if (index == 0 && records_.empty()) return;  // a pending record is left alone then
    if (index >= count()) return;
    pending_.reset();
    for (int32_t i = index; i < count(); ++i)
        used_ -= recordShare(records_[i]->length_);
    records_.resize(static_cast<size_t>(index));
    ++epoch_;
}

int32_t RecordStore::dataRoom() const {
    const uint32_t left = kMaxUsedBytes - std::min(used_, kMaxUsedBytes);
    if (left < static_cast<uint32_t>(kHeaderBytes)) return 0;
    // A record's data counts rounded up to even.
    const uint32_t room = (left - kHeaderBytes) & ~1u;
    return static_cast<int32_t>(std::min<uint32_t>(room, kMaxData));
}

int32_t RecordStore::beginRecord(uint16_t kind, uint16_t version) {
    if (dataRoom() == 0) return -1;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kMaxData]);
    if (!block) return -1;
    pending_ = std::move(block);
    pendingKind_ = kind;
    pendingVersion_ = version;
    pendingLength_ = 0;
    writePos_ = 0;
    return count();
}

void RecordStore::endRecord() {
    if (!pending_ || pendingLength_ <= 0) return;
    auto record = std::make_unique<Record>();
    record->data_.reset(new uint8_t[pendingLength_]);
    std::memcpy(record->data_.get(), pending_.get(), static_cast<size_t>(pendingLength_));
    record->length_ = static_cast<uint32_t>(pendingLength_);
    record->kind_ = pendingKind_;
    record->version_ = pendingVersion_;
    record->stamp_ = stampClock_();
    records_.push_back(std::move(record));
    used_ += recordShare(static_cast<uint32_t>(pendingLength_));
    pending_.reset();
    pendingLength_ = 0;
    writePos_ = 0;
}

int32_t RecordStore::writeBytes(const void* source, int32_t n) {
    if (!pending_ || n <= 0) return 0;
    const int32_t room = dataRoom();
    int32_t copied = n;
    if (n > room - pendingLength_) {
        copied = room - pendingLength_;
        pendingLength_ = room;
    } else {
        pendingLength_ += n;
    }
    // The write position may lie below the pending length after seekWrite; never write past
    // the room.
    copied = std::max(0, std::min(copied, room - writePos_));
    std::memcpy(pending_.get() + writePos_, source, static_cast<size_t>(copied));
    writePos_ += copied;
    return copied;
}

uint8_t* RecordStore::reserveBytes(int32_t n) {
    const int32_t room = dataRoom();
    if (!pending_ || n < 0 || n > room - pendingLength_ || n > room - writePos_) return nullptr;
    uint8_t* at = pending_.get() + writePos_;
    writePos_ += n;
    pendingLength_ += n;
    return at;
}

int32_t RecordStore::seekWrite(int32_t offset) {
    if (!pending_) return 0;
    writePos_ = std::clamp(offset, 0, std::max(0, dataRoom() - 1));
    return writePos_;
}

void RecordStore::setLengthToPosition() {
    if (pending_) pendingLength_ = writePos_;
}

Record* RecordStore::selectRecord(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return records_[static_cast<size_t>(index)].get();
}

const Record* RecordStore::selectRecord(int32_t index) const {
    return const_cast<RecordStore*>(this)->selectRecord(index);
}

}  // namespace kvtlnk
