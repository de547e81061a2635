#include "common/image_file.h"

#include <gtest/gtest.h>

namespace kvttools {
namespace {

// The document's memories, or the problem it has.
std::string read(const std::string& text, MemoryFile* out) {
    FileProblem problem;
    const std::optional<Json> doc = parseJson(text, &problem.message, &problem.field);
    return doc && readMemoryDocument(*doc, out, &problem) ? "" : problem.text();
}

TEST(EmulatorMemoryFile, RoundTripsBothMemoriesWithTheWeekdayTakenFromTheDate) {
    MemoryFile file;
    // Monday 15 June 1998, 12:30:05 and Monday 31 December 2091, 23:59:59.
    const MemoryRecord a{14, 0, {5, 30, 12, 1, 15, 6, 6}, {0x00, 0x10, 0xFF, 0x8C}};
    const MemoryRecord b{7, 65535, {59, 59, 23, 1, 31, 12, 99}, {}};
    file.procedure = {a, MemoryRecord{}};
    file.procedure[1].stamp.weekday = 3;  // 1 January 1992 was a Wednesday
    file.results = {b};

    const std::string text = formatMemoryFile(file);
    EXPECT_NE(text.find("\"stamp\": \"1998-06-15 12:30:05\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"data\": \"0010ff8c\""), std::string::npos) << text;
    MemoryFile back;
    ASSERT_EQ(read(text, &back), "");
    EXPECT_EQ(back.procedure, file.procedure);
    EXPECT_EQ(back.results, file.results);
}

// Whatever a calibrator stamps an item with is kept as it came: a year byte of 255, a month
// 13, an hour 99. Only a year byte beyond 255 or a field beyond a byte cannot be a stamp.
TEST(EmulatorMemoryFile, StampsAreKeptAsTheCalibratorSentThem) {
    const std::pair<const char*, bool> cases[] = {
        {"2247-12-31 23:59:59", true},   {"2024-13-00 99:255:60", true},
        {"1992-00-255 00:00:00", true},  {"1991-12-31 23:59:59", false},
        {"2248-01-01 00:00:00", false},  {"2024-256-01 00:00:00", false},
        {"+2024-01-01 00:00:00", false}, {"2024-01-01T00:00:00", false},
        {"2024-01-01 00:00:00 ", false}, {"2024-01-01 00:00:00099", false},
    };
    for (const auto& [stamp, reads] : cases) {
        SCOPED_TRACE(stamp);
        MemoryFile file;
        const std::string problem =
            read(std::string(R"({"results": [{"kind": 15, "version": 0, "stamp": ")") + stamp +
                     R"(", "data": ""}]})",
                 &file);
        EXPECT_EQ(problem.empty(), reads) << problem;
        if (!reads) continue;
        EXPECT_EQ(formatStamp(file.results[0].stamp), stamp);
        MemoryFile back;
        ASSERT_EQ(read(formatMemoryFile(file), &back), "");
        EXPECT_EQ(back.results, file.results);
    }
}

TEST(EmulatorMemoryFile, BadDocumentsAreRefusedWithTheItemAndField) {
    const std::string item = R"("kind": 6, "version": 0, "stamp": "2024-05-02 14:03:00")";
    std::string full;  // 17 items of the largest size: one more than a memory holds
    for (int i = 0; i < 17; ++i)
        full += std::string(i ? "," : "") + "{" + item + R"(, "data": ")" +
                std::string(2 * 64976, '0') + "\"}";
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {"", "(file): not valid JSON: "},
        {R"({"tasks": []})", "(top level): holds no \"procedure\" or \"results\" list"},
        {R"({"strategies": [{"points": [1, 1e400]}]})",
         "strategies[0].points[1]: is 1e400, a number beyond any"},
        {R"({"procedure": 3})", "procedure: must be a list"},
        {R"({"results": [{)" + item + R"(, "data": ""}, 5]})", "results[1]: must be an object"},
        {R"({"procedure": [{"kind": 70000, "version": 0, "data": ""}]})",
         "procedure[0].kind: must be a whole number from 0 to 65535"},
        {R"({"procedure": [{"kind": 6, "stamp": "2024-05-02 14:03:00", "data": ""}]})",
         "procedure[0].version: "},
        {R"({"procedure": [{"kind": 6, "version": 0, "stamp": "1991-12-31 23:59:59"}]})",
         "procedure[0].stamp: must be a stamp \"YYYY-MM-DD hh:mm:ss\": a year from 1992 to 2247"},
        {R"({"procedure": [{)" + item + R"(, "data": "abc"}]})",
         "procedure[0].data: must be hexadecimal byte pairs"},
        {R"({"procedure": [{)" + item + R"(, "data": ")" + std::string(2 * 64977, '0') + "\"}]}",
         "procedure[0].data: holds 64977 bytes; a record holds at most 64976"},
        {R"({"results": [)" + full + "]}", "results[16]: the memory holds at most 1,048,576 bytes"},
    };
    for (const auto& c : cases) {
        MemoryFile out;
        const std::string problem = read(c.text, &out);
        EXPECT_EQ(problem.substr(0, c.problem.size()), c.problem) << c.text.substr(0, 80);
    }
}

}  // namespace
}  // namespace kvttools
