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

// Writes big-endian fields into a data area of known length. Every call fails (false or
// nullptr) instead of writing past the end.
class RecordWriter {
  public:
    RecordWriter(uint8_t* area, uint32_t length) : area_(area), end_(length) {}

    bool writeU32(uint32_t v);
    bool writeU16(uint16_t v);
    bool writeByte(uint8_t v);
    uint8_t* takeZeros(uint32_t n);
    uint8_t* takeEntries(uint32_t n) { return takeZeros(n * kResultEntryBytes); }
    uint8_t* takePoints(uint32_t n) { return takeZeros(2 * n); }
    // Copies the text and its zero; advances past the text but not its zero (for the last
    // field of a record, whose zero is the record's last byte).
    uint8_t* copyText(const char* text);
    uint32_t position() const { return pos_; }

  private:
    uint8_t* area_;
    uint32_t end_;
    uint32_t pos_ = 0;
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
    const uint8_t* takePoints(uint32_t n) { return take(2 * n); }
    const uint8_t* takeEntries(uint32_t n) { return take(n * kResultEntryBytes); }
    bool skip(uint32_t n) { return take(n) != nullptr; }

    uint32_t position() const { return pos_; }
    uint32_t remaining() const { return end_ - pos_; }
    bool atEnd() const { return pos_ == end_; }

  private:
    const uint8_t* data_;
    uint32_t end_;
    uint32_t pos_ = 0;
};

// Copies a text of at most size - 1 characters and a zero into dst (size >= 1).
void copyBounded(char* dst, const char* src, uint32_t size);

}  // namespace kvtlnk
