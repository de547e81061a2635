// What the setup tests share: a setup of their own, and the checks that a refused setting leaves
// the whole object as it was and a setting that was made leaves it committed.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "setup/setup_state.h"

namespace kvtlnk {

// A setup of a test's own, with a log buffer as large as the library's.
struct OwnSetup {
    float log[kLogCapacity] = {};
    SetupState state{log, kLogCapacity};
};

inline std::vector<unsigned char> bytesOf(const SetupState& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(&s);
    return {p, p + sizeof s};
}

// Committed: nothing pending, and recomputing every derived value changes nothing.
inline void expectCommitted(SetupState& s) {
    ASSERT_EQ(s.pendingChanges(), 0u);
    const std::vector<unsigned char> before = bytesOf(s);
    s.markChanged(kChangedOutput | kChangedInput);
    s.commit();
    s.status = 0;
    EXPECT_EQ(bytesOf(s), before);
}

// Runs a call on s: a refusal (result 2000 and up) must leave s exactly as it was, anything
// else must leave it committed.
template <class Call>
uint32_t checkedCall(SetupState& s, Call&& call) {
    const std::vector<unsigned char> before = bytesOf(s);
    const uint32_t result = call();
    if (result >= 2000) {
        EXPECT_EQ(bytesOf(s), before) << "refused with " << result;
    } else {
        expectCommitted(s);
    }
    return result;
}

}  // namespace kvtlnk
