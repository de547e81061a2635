#pragma once

#include <cstdint>

namespace kvtlnk {

constexpr uint16_t PACKET_SIZE = 1024;

// A view on caller-owned bytes: capacity, read position and fill count.
class PacketBuffer {
  public:
    PacketBuffer() = default;
    PacketBuffer(uint8_t* data, uint16_t capacity, uint16_t fill = 0)
        : data_(data), capacity_(capacity), fill_(fill) {}

    void makeFilled(uint8_t* data, uint16_t capacity, uint16_t fill) {
        *this = PacketBuffer(data, capacity, fill);
    }
    uint16_t append(const uint8_t* bytes, uint16_t n);
    uint16_t take(uint8_t* bytes, uint16_t n);
    // One byte from the read position; false when none is left.
    bool takeByte(uint8_t* b);
    void clear() { readPos_ = fill_ = 0; }
    void rewind() { readPos_ = 0; }
    uint16_t available() const { return static_cast<uint16_t>(fill_ - readPos_); }

    uint16_t size() const { return fill_; }
    uint16_t capacity() const { return capacity_; }

  private:
    uint8_t* data_ = nullptr;
    uint16_t capacity_ = 0;
    uint16_t readPos_ = 0;
    uint16_t fill_ = 0;
};

}  // namespace kvtlnk
