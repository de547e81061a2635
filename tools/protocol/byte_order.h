// Numbers inside the calibrator's items and block commands: big-endian, read from and written
// to byte arrays one byte at a time.
#pragma once

#include <cstdint>
#include <cstring>

namespace kvttools {

inline uint16_t loadU16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t loadU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline float loadF32(const uint8_t* p) {
    const uint32_t bits = loadU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline void storeU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void storeU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void storeF32(uint8_t* p, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    storeU32(p, bits);
}

}  // namespace kvttools
