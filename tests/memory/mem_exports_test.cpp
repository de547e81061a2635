// The exported MEM calls work on the process-wide image.
#include <gtest/gtest.h>

#include "kvtlnk/kvtlnk.h"

TEST(MemExports, BuildAndReadTheLibraryImage) {
    uint32_t used = 0, code = 0, d = 0;
    MEMused(&used);
    EXPECT_EQ(used, 44u);
    MEMclear();
    EXPECT_EQ(MEMendTask(), KVTLNK_OK);
    EXPECT_EQ(MEMrDir(9, &code, &d, &d, &d, &d, &d, &d), KVTLNK_E_RECORD);
    EXPECT_EQ(MEMpDir(9, &code, &d, &d, &d, &d, &d, &d), KVTLNK_OK);
    EXPECT_EQ(code, 35u);
    MEMclear();
}
