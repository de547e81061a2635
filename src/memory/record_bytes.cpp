#include "memory/record_bytes.h"

#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/record_layout.h"

namespace kvtlnk {

namespace {

constexpr uint32_t kWordMax = 0xFFFF;

template <class T>
void put(T* out, T value) {
    if (out != nullptr) *out = value;
}

}  // namespace

bool memoryOfId(uint32_t id, Memory* memory) {
    if (id != static_cast<uint32_t>(Memory::Procedure) &&
        id != static_cast<uint32_t>(Memory::Results)) {
        return false;
    }
    *memory = static_cast<Memory>(id);
    return true;
}

uint32_t loadRecord(MemoryImage& image, uint32_t memory, uint32_t kind, uint32_t version,
                    const uint8_t* stamp, const uint8_t* data, uint32_t length, int32_t* index) {
    put(index, -1);
    Memory m;
    if (!memoryOfId(memory, &m) || kind > kWordMax || version > kWordMax || data == nullptr ||
        length == 0 || length > static_cast<uint32_t>(RecordStore::kMaxData)) {
        return KVTLNK_E_ARGUMENT;
    }
    RecordStore& store = image.store(m);
    RecordWriter writer(store, static_cast<uint16_t>(kind), static_cast<uint16_t>(version));
    writer.writeBytes(data, length);
    const int32_t at = writer.finish();
    Record* record = store.selectRecord(at);
    if (record == nullptr) return KVTLNK_E_IMAGE;
    if (stamp != nullptr) record->setStamp(DateStamp::fromBytes(stamp));
    put(index, at);
    return KVTLNK_OK;
}

uint32_t readRecord(const MemoryImage& image, uint32_t memory, int32_t index, uint32_t* kind,
                    uint32_t* version, uint8_t* stamp, uint32_t* length, uint8_t* data,
                    uint32_t capacity) {
    put(kind, 0u);
    put(version, 0u);
    put(length, 0u);
    Memory m;
    if (!memoryOfId(memory, &m)) return KVTLNK_E_ARGUMENT;
    const Record* record = image.store(m).selectRecord(index);
    if (record == nullptr) return KVTLNK_E_RECORD;
    put(kind, uint32_t{record->kind()});
    put(version, uint32_t{record->version()});
    put(length, record->length());
    if (stamp != nullptr) record->stamp().toBytes(stamp);
    if (data == nullptr) return KVTLNK_OK;
    if (capacity < record->length()) return KVTLNK_E_ARGUMENT;
    std::memcpy(data, record->data(), record->length());
    return KVTLNK_OK;
}

uint32_t truncateRecords(MemoryImage& image, uint32_t memory, int32_t index) {
    Memory m;
    if (!memoryOfId(memory, &m)) return KVTLNK_E_ARGUMENT;
    RecordStore& store = image.store(m);
    if (index < 0 || index > store.count()) return KVTLNK_E_RECORD;
    store.truncate(index);
    return KVTLNK_OK;
}

}  // namespace kvtlnk
