#include "support/byte_order.h"

namespace kvtlnk {

void swapU16(uint16_t* v) {
    *v = static_cast<uint16_t>((*v >> 8) | (*v << 8));
}

void swapU32(uint32_t* v) {
    const uint32_t x = *v;
    *v = (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
}

void swapF32(float* v) {
    uint32_t bits;
    std::memcpy(&bits, v, sizeof bits);
    swapU32(&bits);
    std::memcpy(v, &bits, sizeof bits);
}

}  // namespace kvtlnk
