#include "faults.h"

#include <gtest/gtest.h>

namespace k27emu {
namespace {

TEST(EmulatorFrameFaults, CountFromWhenTheyAreSetAndRepeatEveryN) {
    using F = FrameFault;
    struct Case {
        const char* what;
        void (*arm)(FaultScript&);
        std::vector<bool> isData;  // the frames sent
        std::vector<F> expected;
    };
    const std::vector<Case> cases = {
        {"the 2nd data frame",
         [](FaultScript& f) { f.corruptFrame(2); },
         {true, false, true, true},
         {F::None, F::None, F::Corrupt, F::None}},
        {"the 2nd frame of any kind",
         [](FaultScript& f) { f.dropFrame(2, 0, FrameFilter::All); },
         {true, false, true},
         {F::None, F::Drop, F::None}},
        {"the 1st, then every 2nd",
         [](FaultScript& f) { f.dropFrame(1, 2); },
         {true, true, true, true, true},
         {F::Drop, F::None, F::Drop, F::None, F::Drop}},
        {"the 3rd, then every 3rd",
         [](FaultScript& f) { f.wrongSequence(3, 3); },
         {true, true, true, true, true, true, true},
         {F::None, F::None, F::WrongSequence, F::None, F::None, F::WrongSequence, F::None}},
        {"two faults on one frame: the first set wins",
         [](FaultScript& f) {
             f.corruptFrame(1);
             f.dropFrame(1);
         },
         {true, true},
         {F::Corrupt, F::None}},
        {"n = 0 sets nothing",
         [](FaultScript& f) { f.corruptFrame(0, 1); },
         {true, true},
         {F::None, F::None}},
    };
    for (const Case& c : cases) {
        FaultScript f;
        f.nextFrame(true);  // frames before the fault is set do not count
        c.arm(f);
        for (size_t i = 0; i < c.isData.size(); ++i) {
            EXPECT_EQ(f.nextFrame(c.isData[i]), c.expected[i]) << c.what << ", frame " << i + 1;
        }
    }
}

TEST(EmulatorFrameFaults, CountersAndClear) {
    FaultScript f;
    f.corruptFrame(1, 1);
    f.goSilent();
    f.delayEachByte(std::chrono::microseconds(300));
    f.nextFrame(true);
    f.nextFrame(false);
    f.nextFrame(true);
    EXPECT_EQ(f.framesSent(), 3u);
    EXPECT_EQ(f.framesFaulted(), 2u);
    EXPECT_TRUE(f.silent());
    EXPECT_EQ(f.byteDelay().count(), 300);
    f.clear();
    EXPECT_EQ(f.nextFrame(true), FrameFault::None);
    EXPECT_FALSE(f.silent());
    EXPECT_EQ(f.byteDelay().count(), 0);
    EXPECT_EQ(f.framesSent(), 4u);
}

TEST(EmulatorCommandFaults, RefusalsMatchByPrefixAndRunOutAfterTheirTimes) {
    FaultScript f;
    f.refuse("mu r", "7", 2);
    f.refuse("ms");
    std::string status;
    EXPECT_FALSE(f.refusal("mu p,0", &status));
    EXPECT_TRUE(f.refusal("mu r,0", &status));
    EXPECT_EQ(status, "7");
    EXPECT_TRUE(f.refusal("mu r,1", &status));
    EXPECT_FALSE(f.refusal("mu r,2", &status));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.refusal("ms", &status)) << i;
    EXPECT_EQ(status, "1");
}

}  // namespace
}  // namespace k27emu
