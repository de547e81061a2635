// Shaping of what goes to the calibrator and of what comes back from it, and the firmware level
// the session works to.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "session/command.h"
#include "session/session_state.h"

namespace kvtlnk {
namespace {

std::string shaped(const char* text) {
    char out[kStatusCommandMax];
    return std::string(out, statusCommand(text, out));
}

TEST(StatusCommand, ShapesTheDisplayText) {
    const std::string long300(300, 'x');
    const struct {
        const char* text;
        std::string command;
    } cases[] = {
        {"Identifying K27", "sf link,Identifying K27"},
        {"", "sf link"},
        {nullptr, "sf link"},
        {"a,b,,c", "sf link,a|b||c"},
        {"first\rsecond", "sf link,first"},
        {"first\nsecond\rthird", "sf link,first"},
        {"\r\nhidden", "sf link"},
        {long300.c_str(), "sf link," + std::string(247, 'x')},
        {"\x80\xB0"
         "C",
         "sf link,\x80\xB0"
         "C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shaped(c.text), c.command) << (c.text ? c.text : "(null)");
    }
}

TEST(NextField, SplitsReplyLines) {
    using F = std::vector<std::string>;
    const struct {
        std::string line;
        size_t outSize;  // of the field buffer
        F fields;
    } cases[] = {
        {" 12 , |34|", 64, F{"12 ", ",34,"}},
        {"ORVAN K27,V1.2.3,0042", 64, F{"ORVAN K27", "V1.2.3", "0042"}},
        {"a,,b", 64, F{"a", "", "b"}},
        {"a,", 64, F{"a"}},
        {"\t x,\ty", 64, F{"x", "y"}},
        {"", 64, F{}},
        {"   ", 64, F{}},
        {",", 64, F{""}},
        // A field too long is cut and still consumed.
        {"ORVAN K27 CALIBRATOR,V1.1", 10, F{"ORVAN K27", "V1.1"}},
        {"abc,de", 1, F{"", ""}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(c.line.begin(), c.line.end());
        PacketBuffer reader(bytes.data(), static_cast<uint16_t>(bytes.size()),
                            static_cast<uint16_t>(bytes.size()));
        F fields;
        std::vector<char> out(c.outSize, '#');
        while (nextField(reader, out.data(), out.size()))
            fields.emplace_back(out.data());
        EXPECT_EQ(fields, c.fields) << c.line;
        EXPECT_STREQ(out.data(), "") << c.line << ": the last call clears the field";
    }
}

TEST(ReadDecimal, ReadsAsAtolDoes) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+5x", 5},
        {"abc", 0},
        {"", 0},
        {"12 34", 12},
        {"- 3", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"0x10", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readDecimal(c.text), c.value) << c.text;
}

TEST(SessionState, WaitsAsleepOnTheSteadyClock) {
    const auto wall0 = std::chrono::steady_clock::now();
    const std::clock_t cpu0 = std::clock();
    sleepSeconds(1);
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    const auto wall = std::chrono::steady_clock::now() - wall0;
    EXPECT_GE(wall, std::chrono::seconds(1));
    EXPECT_LT(cpu, 0.1);  // a busy wait would burn the whole second
}

TEST(SessionState, AcceptCalibratorSetsTheFirmwareLevel) {
    struct Case {
        const char* model;
        const char* version;
        uint32_t result;
        int32_t level;
    };
    const Case cases[] = {
        {"ORVAN K27", "V1.2", KVTLNK_OK, 0},
        {"ORVAN K27", "V1.23", KVTLNK_OK, 0},   // V1.2 followed by a digit
        {"ORVAN K27", "V1.2.0", KVTLNK_OK, 1},  // V1.2 followed by a point
        {"ORVAN K27", "V1.3", KVTLNK_OK, 1},
        {"ORVAN K27", nullptr, KVTLNK_OK, 1},
        {"ORVAN K27 with more text", "v1.2", KVTLNK_OK, 1},  // case-sensitive
        {"ORVAN K2", "V1.2", KVTLNK_E_NOT_ACCEPTED, -1},     // 8 characters never match
        {"orvan k27", "V1.2", KVTLNK_E_NOT_ACCEPTED, -1},
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

}  // namespace
}  // namespace kvtlnk
