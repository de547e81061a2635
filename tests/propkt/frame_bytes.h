#pragma once

// Builds frames as they cross the wire, for scripting one end of a link by hand.
#include <cstdint>
#include <vector>

#include "propkt/ptalklib.h"

namespace kvtlnk {

// A frame with the given type byte, the body exactly as sent (0x10 already doubled) and a
// correct check value.
inline std::vector<uint8_t> frameWith(uint8_t type, const std::vector<uint8_t>& body = {}) {
    std::vector<uint8_t> frame = {0x10, 0x02, type};
    for (uint8_t b : body)
        frame.push_back(b);
    frame.push_back(0x10);
    frame.push_back(0x03);
    uint16_t check = static_cast<uint16_t>(
        ~crc16Update(0xFFFF, frame.data() + 2, static_cast<uint32_t>(frame.size() - 2)));
    frame.push_back(static_cast<uint8_t>(check & 0xFF));
    frame.push_back(static_cast<uint8_t>(check >> 8));
    return frame;
}

}  // namespace kvtlnk
