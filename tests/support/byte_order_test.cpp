#include "support/byte_order.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kvtlnk {
namespace {

TEST(ByteOrder, SwapsReverseInPlace) {
    uint8_t two[2] = {0x12, 0x34};
    uint16_t u16;
    std::memcpy(&u16, two, 2);
    swapU16(&u16);
    std::memcpy(two, &u16, 2);
    EXPECT_EQ(two[0], 0x34);
    EXPECT_EQ(two[1], 0x12);

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
        {0x7FFFFFFFu, {0x7F, 0xFF, 0xFF, 0xFF}},
        {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
        {0x01020304u, {0x01, 0x02, 0x03, 0x04}},
    };
    for (const Case& c : cases) {
        uint8_t out[4];
        storeU32(out, c.value);
        EXPECT_EQ(0, std::memcmp(out, c.bytes, 4)) << std::hex << c.value;
        EXPECT_EQ(loadU32(c.bytes), c.value);
    }
    const uint8_t allOnes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(loadI32(allOnes), -1);

    uint8_t point[2];
    storeU16(point, 2500);  // a strategy point of 0.25
    EXPECT_EQ(point[0], 0x09);
    EXPECT_EQ(point[1], 0xC4);
    EXPECT_EQ(loadU16(point), 2500);

    uint8_t f[4];
    storeF32(f, -2.0f);
    EXPECT_EQ(f[0], 0xC0);
    EXPECT_EQ(f[1], 0x00);
    EXPECT_EQ(loadF32(f), -2.0f);
}

}  // namespace
}  // namespace kvtlnk
