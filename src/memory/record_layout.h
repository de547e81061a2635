#pragma once

#include <cstdint>

#include "memory/record_store.h"

namespace kvtlnk {

// Record kinds of the calibrator's memories.
enum RecordKind : uint16_t {
    SETUP_1 = 1,
    SETUP_2 = 2,
    SETUP_3 = 3,
    SETUP_4 = 4,
    SETUP_5 = 5,
    TEMPLATE = 6,
    CAL_RESULT_A = 7,
    CAL_RESULT_B = 8,
    PROMPT_DEFN = 10,
    TASK_START = 11,
    PROMPT = 12,
    TASK_END = 13,
    STRATEGY = 14,
    TAG_ID = 15,
};

inline bool isSetupKind(uint16_t kind) {
    return kind >= SETUP_1 && kind <= SETUP_5;
}
inline bool isCalResultKind(uint16_t kind) {
    return kind == CAL_RESULT_A || kind == CAL_RESULT_B;
}

// The code MEMpDir and MEMrDir report for a kind held in memory m (0 for kinds not listed for
// that memory).
uint32_t directoryCode(uint16_t kind, Memory m);

// Field sizes of the layouts.
constexpr int kStrategyNameMax = 20;
constexpr int kNameMax = 32;  // prompt definition, task, prompt names; template texts
constexpr int kResultEntryBytes = 22;
constexpr int kPressureModuleBytes = 36;
constexpr int kSetupHeadBytes = 80;

// Builds one record at the end of a store: begun with its kind and version, written field by
// field (big-endian) into the store's pending record, then appended by finish(). A field that
// does not fit whole fails the record: finish() then empties the pending record, and nothing is
// appended.
class RecordWriter {
  public:
    RecordWriter(RecordStore& store, uint16_t kind, uint16_t version = 0);
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // The index the record will take; -1 when the store could not begin it.
    int32_t index() const { return index_; }

    bool writeU32(uint32_t v);
    bool writeU16(uint16_t v);
    bool writeByte(uint8_t v);
    bool writeF32(float v);
    bool writeBytes(const void* source, uint32_t n);
    // The text and its zero.
    bool writeText(const char* text);
    // n zero bytes to be filled in place; nullptr when they do not fit. Points and entries are
    // counted in their own sizes, so a count too large for the record fails instead of wrapping.
    uint8_t* takeZeros(uint32_t n);
    uint8_t* takePoints(uint32_t n) { return takeCounted(n, 2); }
    uint8_t* takeEntries(uint32_t n) { return takeCounted(n, kResultEntryBytes); }

    // Appends the record and returns its index; -1 when it could not begin or a field failed.
    int32_t finish();

  private:
    uint8_t* takeCounted(uint32_t n, uint32_t size);

    RecordStore& store_;
    int32_t index_;
    uint32_t written_ = 0;
    bool failed_ = false;
};

// Reads a record's fields with a bound at the record's end: a field that would run past the
// end fails and the reader reads nothing beyond it.
class RecordReader {
  public:
    explicit RecordReader(const Record& record) : data_(record.data()), end_(record.length()) {}
    RecordReader(const uint8_t* data, uint32_t length) : data_(data), end_(length) {}

    bool readU32(uint32_t* v);
    bool readI32(int32_t* v);
    bool readU16(uint16_t* v);
    bool readByte(uint8_t* v);
    bool readF32(float* v);
    // A zero-terminated text whose zero lies within the record; the position moves past it.
    const char* takeText();
    const uint8_t* take(uint32_t n);
    // Counted fields: n items of 2 (points) or 22 (entries) bytes; a count that the rest of the
    // record cannot hold fails before any multiplication could wrap.
    const uint8_t* takePoints(uint32_t n) { return takeCounted(n, 2); }
    const uint8_t* takeEntries(uint32_t n) { return takeCounted(n, kResultEntryBytes); }
    bool skip(uint32_t n) { return take(n) != nullptr; }

    uint32_t position() const { return pos_; }
    uint32_t remaining() const { return end_ - pos_; }
    bool atEnd() const { return pos_ == end_; }

  private:
    const uint8_t* takeCounted(uint32_t n, uint32_t size);

    const uint8_t* data_;
    uint32_t end_;
    uint32_t pos_ = 0;
};

// Copies a text of at most size - 1 characters and a zero into dst (size >= 1).
void copyBounded(char* dst, const char* src, uint32_t size);

}  // namespace kvtlnk
