// Numbers given to the tool: intervals, event numbers, dates, conditions, time-outs. Each is
// taken whole and within its range, or refused with the argument named, before any work.
#include <filesystem>

#include <gtest/gtest.h>

#include "cli_support.h"

namespace {

TEST(Arguments, NumbersAreTakenWholeOrRefusedByName) {
    ScratchDir dir;
    const std::string lab = dir.write("lab.toml", "[lab]\nname = \"Bench\"\n");
    const std::string archive = dir.path("none/records.db");
    const std::string out = dir.path("out.json");
    const struct {
        std::vector<std::string> args;
        std::string argument;
    } cases[] = {
        {{"archive", "interval", "PT-1", "\t5"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "-0"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "+5"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "5 "}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "0x10"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "1e2d"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "36501"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", "99999999999999999999w"}, "INTERVAL"},
        {{"archive", "interval", "PT-1", ""}, "INTERVAL"},
        {{"due", "--within", "-0"}, "--within"},
        {{"due", "--within", " 30d"}, "--within"},
        {{"archive", "export", " 1", "--image", out}, "ID"},
        {{"archive", "export", "-1", "--image", out}, "ID"},
        {{"archive", "export", "+1", "--image", out}, "ID"},
        {{"archive", "export", "1.0", "--image", out}, "ID"},
        {{"archive", "export", "0", "--image", out}, "ID"},
        {{"archive", "export", "99999999999999999999", "--image", out}, "ID"},
        {{"certificate", "PT-1", "--ambient", "\t23"}, "--ambient"},
        {{"certificate", "PT-1", "--ambient", "-0"}, "--ambient"},
        {{"certificate", "PT-1", "--ambient", "23.1.1C"}, "--ambient"},
        {{"certificate", "PT-1", "--ambient", "2e1C"}, "--ambient"},
        {{"certificate", "PT-1", "--ambient", "101C"}, "--ambient"},
        {{"certificate", "PT-1", "--humidity", "45 %x"}, "--humidity"},
        {{"certificate", "PT-1", "--humidity", " 45%"}, "--humidity"},
        {{"certificate", "--all-since", " 2025-1-31"}, "--all-since"},
        {{"certificate", "--all-since", "2025-02-30"}, "--all-since"},
        {{"certificate", "--all-since", "+202-01-31"}, "--all-since"},
        {{"certificate", "--all-since", "2025-13-01"}, "--all-since"},
        {{"--timeout", " 500", "due"}, "--timeout"},
        {{"--timeout", "-0", "due"}, "--timeout"},
        {{"--attempts", "\t3", "due"}, "--attempts"},
        {{"--attempts", "3.0", "due"}, "--attempts"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-q", "--lab", lab, "--archive", archive};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = runCli(args);
        std::string line;
        for (const std::string& a : c.args)
            line += " [" + a + "]";
        SCOPED_TRACE(line);
        EXPECT_EQ(r.exitCode, 2) << r.out;
        const std::string first = r.err.substr(0, r.err.find('\n'));
        EXPECT_EQ(first.rfind("kvtlnk: " + c.argument, 0), 0u) << first;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(dir.path("none")));
}

}  // namespace
