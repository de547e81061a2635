#include "support/text_tables.h"

namespace kvtlnk {

namespace {

const char kNilText[] = "<<nil>>";

// Unit symbols by unit number; bytes above 0x7F are characters of the display font
// (0x81 ohm sign, 0x89 subscript two, 0xB0 degree sign).
const char* const kUnitSymbols[] = {
    "",      // none
    "V",     // volts
    "A",     // amps
    "\x81",  // ohms
    "Hz",    // hertz
    "s",     // seconds
    "\xB0"
    "C",  // celsius
    "\xB0"
    "F",     // fahrenheit
    "%",     // percent
    "psi",   // psi
    "mmHg",  // mm_hg
    "inHg",  // in_hg
    "inH\x89"
    "O",  // in_h2o
    "ftH\x89"
    "O",    // ft_h2o
    "bar",  // bar
    "kPa",  // kpa
    "UDF",  // udf
    " ",    // one past the units
};

// Prefix letters by prefix index: none, micro, milli, unity, kilo, mega, giga, pressure.
const char* const kPrefixLetters[] = {"", "u", "m", " ", "k", "M", "G", ""};

const StringList kUnitSymbolList = {kUnitSymbolsList, 18, kUnitSymbols};
const StringList kPrefixLetterList = {kPrefixLettersList, 8, kPrefixLetters};

// The "units" table: five buckets, a list goes to bucket id % 5.
const StringList* const kBucket0[] = {&kUnitSymbolList, nullptr};
const StringList* const kBucket1[] = {&kPrefixLetterList, nullptr};
const StringList* const kEmptyBucket[] = {nullptr};
const StringList* const* const kUnitsBuckets[] = {kBucket0, kBucket1, kEmptyBucket, kEmptyBucket,
                                                  kEmptyBucket};

const TextTables::Table kTables[] = {{"units", kUnitsBuckets, 5}};

const char* const kDateFormats[] = {"%m/%d/%Y", "%d.%m.%Y", "%Y-%m-%d"};
const char* const kTimeFormats[] = {"%H:%M:%S", "%I:%M:%S %p"};

const StringList kEmptyList = {0, 0, nullptr};

}  // namespace

const char* listItem(const StringList& list, unsigned i) {
    return i < list.count ? list.items[i] : kNilText;
}

const char* firstItem(const StringList& list) {
    return listItem(list, 0);
}

TextTables::TextTables()
    : tables_(kTables),
      tableCount_(sizeof kTables / sizeof kTables[0]),
      buckets_(kTables[0].buckets),
      bucketCount_(kTables[0].bucketCount),
      dateFormats_(kDateFormats),
      dateFormatCount_(sizeof kDateFormats / sizeof kDateFormats[0]),
      timeFormats_(kTimeFormats),
      timeFormatCount_(sizeof kTimeFormats / sizeof kTimeFormats[0]) {}

int TextTables::setDecimalComma(int flag) {
    decimalComma_ = flag;
    return 1;
}

int TextTables::setDateTimeFormat(unsigned dateIndex, unsigned timeIndex) {
    if (dateIndex >= dateFormatCount_ || timeIndex >= timeFormatCount_) return 0;
    dateIndex_ = dateIndex;
    timeIndex_ = timeIndex;
    return 1;
}

int TextTables::selectTable(unsigned index) {
    if (index >= tableCount_) return 0;
    buckets_ = tables_[index].buckets;
    bucketCount_ = tables_[index].bucketCount;
    return 1;
}

const StringList& TextTables::findList(unsigned id) const {
    if (bucketCount_ == 0) return kEmptyList;
    for (const StringList* const* l = buckets_[id % bucketCount_]; *l != nullptr; ++l) {
        if ((*l)->id == id) return **l;
    }
    return kEmptyList;
}

}  // namespace kvtlnk
