#pragma once

#include <cstdint>

namespace kvtlnk {

// A numbered list of texts of the library's catalogue.
struct StringList {
    uint16_t id;
    uint16_t count;
    const char* const* items;
};

// Item i of a list, or "<<nil>>" when there is none.
const char* listItem(const StringList& list, unsigned i);
const char* firstItem(const StringList& list);

// List ids the display code looks up.
constexpr uint16_t kUnitSymbolsList = 10;    // by unit number
constexpr uint16_t kPrefixLettersList = 11;  // by prefix index

// The library's text catalogue: tables of numbered string lists, the current date and time
// formats and the decimal-comma switch.
class TextTables {
  public:
    struct Table {
        const char* name;
        const StringList* const* const* buckets;  // each bucket: lists ending with nullptr
        unsigned bucketCount;
    };

    TextTables();

    // Each returns 1, or 0 for an index outside its table.
    int setDecimalComma(int flag);
    int setDateTimeFormat(unsigned dateIndex, unsigned timeIndex);
    int selectTable(unsigned index);

    // The list with this id in the current table; a list with no items when there is none.
    const StringList& findList(unsigned id) const;
    int decimalComma() const { return decimalComma_; }
    unsigned timeFormatIndex() const { return timeIndex_; }

  private:
    const Table* tables_;
    unsigned tableCount_;
    const StringList* const* const* buckets_;
    unsigned bucketCount_;
    const char* const* dateFormats_;
    unsigned dateFormatCount_;
    unsigned dateIndex_ = 0;
    const char* const* timeFormats_;
    unsigned timeFormatCount_;
    unsigned timeIndex_ = 0;
    int decimalComma_ = 0;
};

}  // namespace kvtlnk
