// Which frames a scripted frame fault hits; what each fault does on the wire is checked over the
// pty in calibrator_test.cpp.
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

}  // namespace
}  // namespace k27emu
