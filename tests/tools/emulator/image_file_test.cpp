#include "image_file.h"

#include <gtest/gtest.h>

namespace k27emu {
namespace {

TEST(EmulatorMemoryFile, RoundTripsBothMemoriesWithTheWeekdayTakenFromTheDate) {
    MemoryFile file;
    EmuRecord a;
    a.kind = 14;
    a.stamp = {5, 30, 12, 1, 15, 6, 6};  // Monday 15 June 1998, 12:30:05
    a.data = {0x00, 0x10, 0xFF, 0x8C};
    EmuRecord b;
    b.kind = 7;
    b.version = 65535;
    b.stamp = {59, 59, 23, 1, 31, 12, 99};  // Monday 31 December 2091
    file.procedure = {a, EmuRecord{}};
    file.procedure[1].stamp.weekday = 3;  // 1 January 1992 was a Wednesday
    file.results = {b};

    const std::string text = formatMemoryFile(file);
    EXPECT_NE(text.find("\"stamp\": \"1998-06-15 12:30:05\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"data\": \"0010ff8c\""), std::string::npos) << text;
    MemoryFile back;
    std::string error;
    ASSERT_TRUE(parseMemoryFile(text, &back, &error)) << error;
    EXPECT_EQ(back.procedure, file.procedure);
    EXPECT_EQ(back.results, file.results);
}

TEST(EmulatorMemoryFile, BadDocumentsAreRefusedWithTheItemAndField) {
    const std::string good =
        R"("kind": 6, "version": 0, "stamp": "2024-05-02 14:03:00", "data": "00")";
    std::string full;  // 17 items of the largest size: one more than a memory holds
    for (int i = 0; i < 17; ++i)
        full += std::string(i ? "," : "") +
                R"({"kind": 6, "version": 0, "stamp": "2024-05-02 14:03:00", "data": ")" +
                std::string(2 * 64976, '0') + "\"}";
    struct Case {
        std::string text;
        std::string message;  // expected within the error
    };
    const std::vector<Case> cases = {
        {"", "not a JSON object"},
        {R"({"procedure": 3})", "\"procedure\" is not a list"},
        {R"({"results": [{)" + good + R"(}, 5]})", "results item 1: is not an object"},
        {R"({"procedure": [{"kind": 70000, "version": 0, "stamp": "2024-05-02 14:03:00", "data": ""}]})",
         "procedure item 0: \"kind\""},
        {R"({"procedure": [{"kind": 6, "stamp": "2024-05-02 14:03:00", "data": ""}]})",
         "\"version\""},
        {R"({"procedure": [{"kind": 6, "version": 0, "stamp": "1991-12-31 23:59:59", "data": ""}]})",
         "\"stamp\""},
        {R"({"procedure": [{"kind": 6, "version": 0, "stamp": "2024-05-02 14:03:00", "data": "abc"}]})",
         "\"data\""},
        {R"({"procedure": [{"kind": 6, "version": 0, "stamp": "2024-05-02 14:03:00", "data": ")" +
             std::string(2 * 64977, '0') + "\"}]}",
         "more than 64976 bytes"},
        {R"({"results": [)" + full + "]}", "results item 16"},
    };
    for (const Case& c : cases) {
        MemoryFile out;
        std::string error;
        EXPECT_FALSE(parseMemoryFile(c.text, &out, &error)) << c.text.substr(0, 80);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace k27emu
