#include "support/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kvtlnk {
namespace {

TEST(ByteOrder, SwapsReverseInPlace) {
    uint16_t u16 = 0x1234;
    swapU16(&u16);
    EXPECT_EQ(u16, 0x3412);
    uint32_t u32 = 0x11223344u;
    swapU32(&u32);
    EXPECT_EQ(u32, 0x44332211u);
    // The big-endian bytes of 1.0f read as a host float on a little-endian machine.
    const uint8_t bigEndianOne[4] = {0x3F, 0x80, 0x00, 0x00};
    float f;
    std::memcpy(&f, bigEndianOne, 4);
    swapF32(&f);
    EXPECT_EQ(f, 1.0f);
}

TEST(ByteOrder, LoadAndStoreAreBigEndian) {
    struct Case {
        uint32_t value;
        uint8_t bytes[4];
    };
    const Case cases[] = {
        {0x00000003u, {0x00, 0x00, 0x00, 0x03}},
        {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
        {0x01020304u, {0x01, 0x02, 0x03, 0x04}},
    };
    for (const Case& c : cases) {
        uint8_t out[4];
        storeU32(out, c.value);
        EXPECT_EQ(0, std::memcmp(out, c.bytes, 4)) << std::hex << c.value;
        EXPECT_EQ(loadU32(c.bytes), c.value);
    }
    EXPECT_EQ(loadI32(cases[1].bytes), -1);

    uint8_t b[4];
    storeU16(b, 2500);  // a strategy point of 0.25
    EXPECT_EQ(b[0] * 256 + b[1], 0x09C4);
    EXPECT_EQ(loadU16(b), 2500);
    storeF32(b, -2.0f);
    EXPECT_EQ(loadU32(b), 0xC0000000u);
    EXPECT_EQ(loadF32(b), -2.0f);
}

}  // namespace
}  // namespace kvtlnk
