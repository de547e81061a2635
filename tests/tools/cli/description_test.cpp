// Procedure descriptions with problems: each is refused with a message naming the field, and
// nothing is sent (the port given does not exist, so any attempt would show as a 2017).
#include <gtest/gtest.h>

#include <algorithm>

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
    {"prompts not a list", R"({"prompts":7})", "prompts: must be a list, not a number"},
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
    {"point beyond any number", R"({"strategies":[{"name":"s","points":[0.5,1e400]}]})",
     "strategies[0].points[1]: is 1e400, a number beyond any the calibrator takes"},
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
    {"a line of 64 characters", R"({"prompts":[{"name":"i","text":")" + repeat("i", 64) + R"("}]})",
     "prompts[0].text: only 0 of 64 characters fit the display"},
    {"a word wider than the display",
     R"({"prompts":[{"name":"w","text":"Now )" + repeat("W", 23) + R"("}]})",
     "prompts[0].text: only 4 of 27 characters fit the display"},
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
    }
}

// All problems of a file are listed, in text and as JSON.
TEST(Description, EveryProblemOfAFileIsListed) {
    ScratchDir dir;
    const std::string file = dir.write("bad.json", R"({
        "strategies": [{"name": "s", "points": [4]}],
        "prompts": [{"name": "p", "text": "ok", "colour": "red"}],
        "tasks": [{"name": "", "steps": [{"prompt": "q"}]}]})");
    const ProcessResult r = runCli({"show", file});
    EXPECT_EQ(r.exitCode, 2);
    for (const char* field :
         {"strategies[0].points[0]", "prompts[0].colour", "tasks[0].name: must not be empty",
          "tasks[0].steps[0].prompt", "4 problems"}) {
        EXPECT_NE(r.err.find(std::string(file) + ": " + field), std::string::npos) << r.err;
    }
    const ProcessResult j = runCli({"--json", "show", file});
    EXPECT_EQ(j.exitCode, 2);
    EXPECT_EQ(jsonOf(j)["error"]["problems"][3],
              nlohmann::json({{"field", "tasks[0].name"}, {"message", "must not be empty"}}))
        << j.out;
}

// Descriptions at the limits are taken, and their texts reach the image as the calibrator
// stores them.
TEST(Description, TextsAndPointsAtTheLimits) {
    ScratchDir dir;
    const std::string name20 = repeat("s", 19) + "↑";
    const std::string name32 = repeat("t", 32);
    const std::string text = "Set 20 °C ± 0.5 Ω\nthen ₂ and µ";
    const std::string file = dir.write("ok.json", R"({"strategies":[{"name":")" + name20 +
                                                      R"(","points":[0,3.0,1e-4]}],
                      "prompts":[{"name":"p","text":"Set 20 °C ± 0.5 Ω\nthen ₂ and µ"},{"name":"e","text":""}],
                      "tasks":[{"name":")" + name32 + R"(","steps":[{"prompt":"e"}]}]})");
    const ProcessResult r = runCli({"--json", "show", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json decoded = jsonOf(r)["decoded"];
    const nlohmann::json& strategy = decoded["strategies"][9];
    EXPECT_EQ(strategy["name"], name20);
    ASSERT_EQ(strategy["points"].size(), 3u);
    EXPECT_EQ(strategy["points"][1], 3.0);
    EXPECT_NEAR(strategy["points"][2].get<double>(), 1e-4, 1e-9);
    EXPECT_EQ(decoded["promptDefinitions"][0]["text"], text);
    EXPECT_EQ(decoded["promptDefinitions"][1]["text"], "");
    EXPECT_EQ(decoded["tasks"][0]["name"], name32);
    // Count, points (0, 30000, 1) and the name, whose arrow is one byte of the calibrator's set.
    EXPECT_EQ(jsonOf(r)["procedure"][9]["data"],
              "00000003"
              "0000"
              "7530"
              "0001" +
                  repeat("73", 19) + "8c00");
}

}  // namespace
