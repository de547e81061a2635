#pragma once

#include <cstdint>
#include <vector>

#include "emu_memory.h"

namespace k27emu {

// Where the blocks of a setup item lie; nullptr for a block the item does not carry.
struct SetupBlocks {
    uint16_t form = 0;
    const uint8_t* head = nullptr;
    const uint8_t* inModule = nullptr;
    const uint8_t* minMax = nullptr;
    const uint8_t* output = nullptr;
    const uint8_t* outModule = nullptr;
    const uint8_t* log = nullptr;  // its head; the samples follow
    const uint8_t* pressureRef = nullptr;

    int inFunction() const;
    int outFunction() const;
};

// False when the item is not a setup or is shorter than the blocks its head calls for.
bool parseSetup(const MemoryRecord& item, SetupBlocks* blocks);

// The setup item of kind 1 ... 5 rewritten in the form of kind 5: the min/max and logging
// blocks dropped, an output block of zeros added when the form had none. False when the
// item is not a setup or is shorter than its blocks.
bool setupAsForm5(const MemoryRecord& setup, std::vector<uint8_t>* out);

// A bounded reader of an item's bytes, for the items the instrument reads.
class ItemReader {
  public:
    explicit ItemReader(const std::vector<uint8_t>& data) : data_(data) {}
    // The next n bytes, or nullptr (and nothing more to read) when they run past the end.
    const uint8_t* take(size_t n);
    // A zero-terminated text within the item; nullptr when it has no zero.
    const char* text();

  private:
    const std::vector<uint8_t>& data_;
    size_t pos_ = 0;
};

}  // namespace k27emu
