#include "session/session_state.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {
namespace {

TEST(SessionState, AcceptCalibratorSetsTheFirmwareLevel) {
    struct Case {
        const char* model;
        const char* version;
        uint32_t result;
        int32_t level;
    };
    const Case cases[] = {
        {"ORVAN K27", "V1.2", KVTLNK_OK, 0},
        {"ORVAN K27", "V1.0", KVTLNK_OK, 0},
        {"ORVAN K27", "V1.1.7", KVTLNK_OK, 0},
        {"ORVAN K27", "V1.23", KVTLNK_OK, 0},   // V1.2 followed by a digit
        {"ORVAN K27", "V1.2.0", KVTLNK_OK, 1},  // V1.2 followed by a point
        {"ORVAN K27", "V1.3", KVTLNK_OK, 1},
        {"ORVAN K27", "V2.0", KVTLNK_OK, 1},
        {"ORVAN K27", "", KVTLNK_OK, 1},
        {"ORVAN K27", nullptr, KVTLNK_OK, 1},
        {"ORVAN K27 with more text", "v1.2", KVTLNK_OK, 1},  // case-sensitive
        {"ORVAN K2", "V1.2", KVTLNK_E_NOT_ACCEPTED, -1},     // 8 characters never match
        {"orvan k27", "V1.2", KVTLNK_E_NOT_ACCEPTED, -1},
        {"ORVAN K28", "V1.2.", KVTLNK_E_NOT_ACCEPTED, -1},
        {nullptr, "V1.2", KVTLNK_E_NOT_ACCEPTED, -1},
    };
    for (const Case& c : cases) {
        SessionState s;
        s.firmwareLevel = 7;
        EXPECT_EQ(acceptCalibrator(s, c.model, c.version), c.result)
            << (c.model ? c.model : "null") << " " << (c.version ? c.version : "null");
        EXPECT_EQ(s.firmwareLevel, c.level) << (c.version ? c.version : "null");
    }
}

TEST(SessionState, Exports) {
    char version[8];
    std::memset(version, 'x', sizeof version);
    KVTversion(version);
    EXPECT_EQ(0, std::memcmp(version, "1.1\0xxxx", 8));  // exactly 4 bytes written
    KVTversion(nullptr);

    EXPECT_EQ(theSession().firmwareLevel, 0);  // early-firmware rules until told otherwise
    EXPECT_EQ(KVTsetVersion("ORVAN K27", "V1.2.3"), KVTLNK_OK);
    EXPECT_EQ(theSession().firmwareLevel, 1);
    EXPECT_EQ(KVTsetVersion("ORVAN K2", "V1.2.3"), KVTLNK_E_NOT_ACCEPTED);
    EXPECT_EQ(theSession().firmwareLevel, -1);
    theSession() = SessionState{};
}

}  // namespace
}  // namespace kvtlnk
