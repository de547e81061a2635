#include "memory/record_layout.h"

#include <cstring>

#include "support/byte_order.h"

namespace kvtlnk {

uint32_t directoryCode(uint16_t kind, Memory m) {
    if (m == Memory::Results) {
        switch (kind) {
            case SETUP_1:
                return 4;
            case SETUP_2:
                return 5;
            case SETUP_3:
                return 7;
            case SETUP_4:
                return 3;
            case SETUP_5:
                return 6;
            case CAL_RESULT_A:
                return 1;
            case CAL_RESULT_B:
                return 2;
            default:
                return 0;
        }
    }
    switch (kind) {
        case TEMPLATE:
            return 37;
        case PROMPT_DEFN:
            return 32;
        case TASK_START:
            return 33;
        case PROMPT:
            return 34;
        case TASK_END:
            return 35;
        case STRATEGY:
            return 36;
        default:
            return 0;
    }
}

RecordWriter::RecordWriter(RecordStore& store, uint16_t kind, uint16_t version)
    : store_(store), index_(store.beginRecord(kind, version)) {}

uint8_t* RecordWriter::takeZeros(uint32_t n) {
    uint8_t* at = nullptr;
    if (index_ >= 0 && !failed_ && n <= RecordStore::kMaxData - written_) {
        at = store_.reserveBytes(static_cast<int32_t>(n));
    }
    if (at == nullptr) {
        failed_ = true;
        return nullptr;
    }
    std::memset(at, 0, n);
    written_ += n;
    return at;
}

uint8_t* RecordWriter::takeCounted(uint32_t n, uint32_t size) {
    if (n > (RecordStore::kMaxData - written_) / size) {
        failed_ = true;
        return nullptr;
    }
    return takeZeros(n * size);
}

bool RecordWriter::writeBytes(const void* source, uint32_t n) {
    uint8_t* p = takeZeros(n);
    if (p != nullptr && n > 0) std::memcpy(p, source, n);
    return p != nullptr;
}

bool RecordWriter::writeU32(uint32_t v) {
    uint8_t* p = takeZeros(4);
    if (p != nullptr) storeU32(p, v);
    return p != nullptr;
}

bool RecordWriter::writeU16(uint16_t v) {
    uint8_t* p = takeZeros(2);
    if (p != nullptr) storeU16(p, v);
    return p != nullptr;
}

bool RecordWriter::writeByte(uint8_t v) {
    return writeBytes(&v, 1);
}

bool RecordWriter::writeF32(float v) {
    uint8_t* p = takeZeros(4);
    if (p != nullptr) storeF32(p, v);
    return p != nullptr;
}

bool RecordWriter::writeText(const char* text) {
    return writeBytes(text, static_cast<uint32_t>(std::strlen(text)) + 1);
}

int32_t RecordWriter::finish() {
    if (index_ < 0) return -1;
    if (failed_) {
        // Emptied, the pending record adds nothing; the next record replaces it.
        store_.seekWrite(0);
        store_.setLengthToPosition();
        store_.endRecord();
        return -1;
    }
    store_.endRecord();
    return index_;
}

const uint8_t* RecordReader::take(uint32_t n) {
    if (n > end_ - pos_) {
        pos_ = end_;
        return nullptr;
    }
    const uint8_t* at = data_ + pos_;
    pos_ += n;
    return at;
}

const uint8_t* RecordReader::takeCounted(uint32_t n, uint32_t size) {
    if (n > remaining() / size) {
        pos_ = end_;
        return nullptr;
    }
    return take(n * size);
}

bool RecordReader::readU32(uint32_t* v) {
    const uint8_t* p = take(4);
    if (p != nullptr) *v = loadU32(p);
    return p != nullptr;
}

bool RecordReader::readI32(int32_t* v) {
    const uint8_t* p = take(4);
    if (p != nullptr) *v = loadI32(p);
    return p != nullptr;
}

bool RecordReader::readU16(uint16_t* v) {
    const uint8_t* p = take(2);
    if (p != nullptr) *v = loadU16(p);
    return p != nullptr;
}

bool RecordReader::readByte(uint8_t* v) {
    const uint8_t* p = take(1);
    if (p != nullptr) *v = *p;
    return p != nullptr;
}

bool RecordReader::readF32(float* v) {
    const uint8_t* p = take(4);
    if (p != nullptr) *v = loadF32(p);
    return p != nullptr;
}

const char* RecordReader::takeText() {
    if (pos_ >= end_) return nullptr;
    const void* zero = std::memchr(data_ + pos_, 0, end_ - pos_);
    if (zero == nullptr) {
        pos_ = end_;
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(data_ + pos_);
    pos_ = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data_) + 1;
    return text;
}

void copyBounded(char* dst, const char* src, uint32_t size) {
    if (size == 0) return;
    uint32_t n = 0;
    while (n + 1 < size && src[n] != '\0') {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = '\0';
}

}  // namespace kvtlnk
