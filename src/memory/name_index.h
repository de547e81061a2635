#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "memory/record_store.h"

namespace kvtlnk {

// The first record of each name in a store, for the look-ups by name that the procedure memory
// needs (strategies, prompt definitions). It follows the store lazily: records appended since
// the last look-up are added to it, and when the store's epoch moves (records removed, data
// rewritten) it starts again from index 0. Either way a look-up gives the first match from
// index 0, as a walk through the store would.
class NameIndex {
  public:
    // The name a record is known by, or nullptr when the record is not of the sought kind or
    // does not decode.
    using NameOf = const char* (*)(const Record& record);

    // Index of the first record of the store that nameOf calls name, or -1. An index serves one
    // store and one nameOf; given another, it starts again.
    int32_t find(const RecordStore& store, NameOf nameOf, const char* name);

  private:
    void catchUp(const RecordStore& store, NameOf nameOf);

    NameOf nameOf_ = nullptr;
    std::unordered_map<std::string, int32_t> first_;
    const RecordStore* store_ = nullptr;
    uint64_t epoch_ = 0;
    int32_t scanned_ = 0;
};

}  // namespace kvtlnk
