#include "propkt/packet_buffer.h"

#include <cstring>

namespace kvtlnk {

uint16_t PacketBuffer::append(const uint8_t* bytes, uint16_t n) {
    uint16_t room = static_cast<uint16_t>(capacity_ - fill_);
    if (n > room) n = room;
    if (n > 0) std::memcpy(data_ + fill_, bytes, n);
    fill_ = static_cast<uint16_t>(fill_ + n);
    return n;
}

uint16_t PacketBuffer::take(uint8_t* bytes, uint16_t n) {
    uint16_t left = available();
    if (n > left) n = left;
    if (n > 0) std::memcpy(bytes, data_ + readPos_, n);
    readPos_ = static_cast<uint16_t>(readPos_ + n);
    return n;
}

bool PacketBuffer::takeByte(uint8_t* b) {
    return take(b, 1) == 1;
}

}  // namespace kvtlnk
