#include "memory/prompt_fit.h"

#include <gtest/gtest.h>

#include <string>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"

namespace kvtlnk {
namespace {

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

TEST(PromptFit, CheckAndDefinition) {
    const std::string w22 = std::string(22, 'W') + " ";
    const struct {
        std::string text;
        bool fits;
        uint32_t k;
    } cases[] = {
        {"", true, 0},
        {std::string(63, 'i'), true, 63},
        {std::string(64, 'i'), false, 0},          // a line of 64 characters
        {"A\n" + std::string(64, 'i'), false, 2},  // ... wherever it is
        {std::string(23, 'W'), false, 0},          // a word wider than a line
        {"A " + std::string(23, 'W'), false, 2},
        {"A   ", true, 4},
        {repeat(w22, 10), true, 230},
        {repeat(w22, 11), false, 230},  // what fits in 10 lines
        {repeat("x\n", 10) + "y", false, 20},
        {repeat("The quick brown fox jumps over the lazy dog. ", 3), true, 135},
    };
    for (const auto& c : cases) {
        uint32_t k = 999;
        EXPECT_EQ(memCheckPromptDefn(promptFont(), c.text.c_str(), &k),
                  c.fits ? KVTLNK_OK : KVTLNK_E_PROMPT_FIT)
            << c.text;
        EXPECT_EQ(k, c.k) << c.text;

        // The definition keeps what the display shows.
        MemoryImage image;
        ASSERT_EQ(memPromptDefn(image, promptFont(), "p", c.text.c_str()), KVTLNK_OK) << c.text;
        EXPECT_EQ(bytesOf(*image.procedure().selectRecord(0)),
                  bytesOf(std::string("\0\0p\0", 4) + c.text.substr(0, c.k) + '\0'))
            << c.text;
    }
    uint32_t k = 5;
    EXPECT_EQ(memCheckPromptDefn(promptFont(), nullptr, &k), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(k, 0u);
}

}  // namespace
}  // namespace kvtlnk
