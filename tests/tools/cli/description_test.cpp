// Procedure descriptions with problems: each is refused with a message naming the field, and
// nothing is sent (the port given does not exist, so any attempt would show as a 2017).
#include <gtest/gtest.h>

#include "cli_support.h"

namespace {

struct BadDescription {
    const char* what;
    std::string json;
    const char* message;
};

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const std::string kPrompt = R"("prompts":[{"name":"vent","text":"Vent it."}])";

const BadDescription kBad[] = {
    {"invalid JSON", R"({"tasks": [)", "(file): not valid JSON: "},
    {"not an object", "[]", "(top level): must be an object, not a list"},
    {"unknown key", R"({"tasks":[{"name":"A","setps":[]}]})",
     "tasks[0].setps: unknown key (known keys: name, steps, comment)"},
    {"missing name", R"({"tasks":[{"steps":[]}]})", "tasks[0]: missing key \"name\""},
    {"strategy name too long", R"({"strategies":[{"name":"123456789012345678901","points":[0]}]})",
     "strategies[0].name: is 21 characters long; the calibrator takes at most 20"},
    {"task name too long", R"({"tasks":[{"name":")" + repeat("t", 33) + R"("}]})",
     "tasks[0].name: is 33 characters long; the calibrator takes at most 32"},
    {"arrow is one character",
     R"({"strategies":[{"name":")" + repeat("s", 20) + R"(↑","points":[0]}]})",
     "strategies[0].name: is 21 characters long"},
    {"point above 3.0", R"({"strategies":[{"name":"s","points":[0,3.01]}]})",
     "strategies[0].points[1]: is 3.01; a point lies between 0.0"},
    {"negative point", R"({"strategies":[{"name":"s","points":[-0.01]}]})",
     "strategies[0].points[0]: is -0.01"},
    {"point not a number", R"({"strategies":[{"name":"s","points":["half"]}]})",
     "strategies[0].points[0]: must be a number, not a text"},
    {"no points", R"({"strategies":[{"name":"s","points":[]}]})",
     "strategies[0].points: holds 0 points; a strategy has 1 to 32000"},
    {"standard strategy name", R"({"strategies":[{"name":"5 ↑↓","points":[0]}]})",
     "strategies[0].name: \"5 ↑↓\" is a standard strategy"},
    {"prompt naming an undefined definition",
     "{" + kPrompt + R"(,"tasks":[{"name":"A","steps":[{"prompt":"isolate"}]}]})",
     "tasks[0].steps[0].prompt: \"isolate\" names no prompt definition (defined: \"vent\")"},
    {"prompt defined twice", R"({"prompts":[{"name":"a","text":""},{"name":"a","text":""}]})",
     "prompts[1].name: \"a\" is already defined at prompts[0]"},
    {"prompt text too long for the display",
     R"({"prompts":[{"name":"long","text":")" + repeat("word ", 300) + R"("}]})",
     "prompts[0].text: only 350 of 1500 characters fit the display"},
    {"character the calibrator lacks", R"({"tasks":[{"name":"5 €"}]})",
     "tasks[0].name: holds U+20AC, which the calibrator cannot show"},
    {"control character in a name", R"({"tasks":[{"name":"a\tb"}]})",
     "tasks[0].name: a name cannot hold control characters"},
    {"setups not yet", R"({"setups":[]})", "setups: templates and setups are not supported"},
    {"test steps not yet", R"({"tasks":[{"name":"A","steps":[{"test":{}}]}]})",
     "tasks[0].steps[0].test: templates and setups are not supported"},
};

TEST(Description, EachProblemIsNamedAndNothingIsSent) {
    ScratchDir dir;
    for (const BadDescription& bad : kBad) {
        SCOPED_TRACE(bad.what);
        const std::string file = dir.write("bad.json", bad.json);
        const ProcessResult r = runCli({"--port", "/dev/kvtlnk-no-such-port", "download", file});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(file + ": " + bad.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(file + ": nothing was sent"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("2017"), std::string::npos) << r.err;
    }
}

TEST(Description, EveryProblemOfAFileIsListed) {
    ScratchDir dir;
    const std::string file = dir.write("bad.json", R"({
        "strategies": [{"name": "s", "points": [4]}],
        "prompts": [{"name": "p", "text": "ok", "colour": "red"}],
        "tasks": [{"name": "t", "steps": [{"prompt": "q"}]}]})");
    const ProcessResult r = runCli({"show", file});
    EXPECT_EQ(r.exitCode, 2);
    for (const char* field : {"strategies[0].points[0]", "prompts[0].colour",
                              "tasks[0].steps[0].prompt", "3 problems"}) {
        EXPECT_NE(r.err.find(std::string(file) + ": " + field), std::string::npos) << r.err;
    }
}

TEST(Description, FilesThatCannotBeReadEndWithOneLine) {
    ScratchDir dir;
    const std::string missing = dir.path("missing.json");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"download", missing},
                                               {"show", missing},
                                               {"dump", dir.path("d"), "--from", missing}}) {
        const ProcessResult r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_EQ(r.err.rfind("kvtlnk: cannot read " + missing + ": No such file", 0), 0u) << r.err;
    }
}

}  // namespace
