#include "memory/name_index.h"

namespace kvtlnk {

int32_t NameIndex::find(const RecordStore& store, NameOf nameOf, const char* name) {
    catchUp(store, nameOf);
    const auto it = first_.find(name);
    return it == first_.end() ? -1 : it->second;
}

void NameIndex::catchUp(const RecordStore& store, NameOf nameOf) {
    if (&store != store_ || nameOf != nameOf_ || store.epoch() != epoch_ ||
        store.count() < scanned_) {
        first_.clear();
        store_ = &store;
        nameOf_ = nameOf;
        epoch_ = store.epoch();
        scanned_ = 0;
    }
    for (; scanned_ < store.count(); ++scanned_) {
        const Record* record = store.selectRecord(scanned_);
        const char* name = record != nullptr ? nameOf_(*record) : nullptr;
        if (name != nullptr) first_.emplace(name, scanned_);  // keeps an earlier record
    }
}

}  // namespace kvtlnk
