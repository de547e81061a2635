#include "support/byte_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace kvtlnk {
namespace {

TEST(ByteOrder, LoadAndStoreAreBigEndian) {
    const struct {
        uint32_t value;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {0x00000003u, {0x00, 0x00, 0x00, 0x03}},
        {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}},
        {0x01020304u, {0x01, 0x02, 0x03, 0x04}},
        {0xC0000000u, {0xC0, 0x00, 0x00, 0x00}},  // -2.0f
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out(4);
        storeU32(out.data(), c.value);
        EXPECT_EQ(out, c.bytes) << std::hex << c.value;
        EXPECT_EQ(loadU32(c.bytes.data()), c.value);
    }
    EXPECT_EQ(loadI32(cases[1].bytes.data()), -1);
    EXPECT_EQ(loadF32(cases[3].bytes.data()), -2.0f);
    uint8_t b[4];
    storeF32(b, -2.0f);
    EXPECT_EQ(loadU32(b), 0xC0000000u);
    storeU16(b, 2500);  // a strategy point of 0.25
    EXPECT_EQ(b[0], 0x09);
    EXPECT_EQ(b[1], 0xC4);
    EXPECT_EQ(loadU16(b), 2500);
}

}  // namespace
}  // namespace kvtlnk
