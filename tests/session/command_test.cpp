// Shaping of what goes to the calibrator and of what comes back from it.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "session/command.h"

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
        {"3 of 10", "sf link,3 of 10"},
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
    EXPECT_EQ(shaped(long300.c_str()).size(), 255u);
}

std::vector<std::string> fieldsOf(const std::string& line, size_t outSize = 64) {
    std::vector<uint8_t> bytes(line.begin(), line.end());
    PacketBuffer reader(bytes.data(), static_cast<uint16_t>(bytes.size()),
                        static_cast<uint16_t>(bytes.size()));
    std::vector<std::string> fields;
    std::vector<char> out(outSize, '#');
    while (nextField(reader, out.data(), out.size()))
        fields.emplace_back(out.data());
    if (outSize > 0) {
        EXPECT_STREQ(out.data(), "");
    }
    return fields;
}

TEST(NextField, SplitsReplyLines) {
    using F = std::vector<std::string>;
    const struct {
        std::string line;
        F fields;
    } cases[] = {
        {" 12 , |34|", F{"12 ", ",34,"}},
        {"ORVAN K27,V1.2.3,0042", F{"ORVAN K27", "V1.2.3", "0042"}},
        {"a,,b", F{"a", "", "b"}},
        {"a,", F{"a"}},
        {"\t x,\ty", F{"x", "y"}},
        {"", F{}},
        {"   ", F{}},
        {",", F{""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldsOf(c.line), c.fields) << c.line;
}

TEST(NextField, CutsALongFieldAndStillConsumesIt) {
    EXPECT_EQ(fieldsOf("ORVAN K27 CALIBRATOR,V1.1", 10),
              (std::vector<std::string>{"ORVAN K27", "V1.1"}));
    EXPECT_EQ(fieldsOf("abc,de", 1), (std::vector<std::string>{"", ""}));
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
        {" 1998 ", 1998},
        {"12 34", 12},
        {"- 3", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"\t\n42", 42},
        {"0x10", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readDecimal(c.text), c.value) << c.text;
}

TEST(WaitSeconds, SleepsOnTheMonotonicClock) {
    const auto wall0 = std::chrono::steady_clock::now();
    const std::clock_t cpu0 = std::clock();
    waitSeconds(1);
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    const auto wall = std::chrono::steady_clock::now() - wall0;
    EXPECT_GE(wall, std::chrono::seconds(1));
    EXPECT_LT(cpu, 0.1);  // a busy wait would burn the whole second
}

}  // namespace
}  // namespace kvtlnk
