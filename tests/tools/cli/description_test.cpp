// Procedure descriptions with problems: each is refused with a message naming the field, and
// nothing is sent (the emulator hears no command).
#include <gtest/gtest.h>

#include <algorithm>

#include "calibrator.h"
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

// A description of one setup S: its input and output, and further members.
std::string setup(const std::string& input, const std::string& output,
                  const std::string& more = "") {
    return R"({"setups":{"S":{"input":{)" + input + R"(},"output":{)" + output + "}" + more + "}}}";
}
const std::string kCurrentIn = R"("function":"current","scale":[0.004,0.02])";
const std::string kNoOutput = R"("function":"none","scale":[0,1])";
// A task testing setup S.
std::string test(const std::string& members) {
    std::string description = setup(kCurrentIn, kNoOutput);
    description.pop_back();
    return description + R"(,"tasks":[{"name":"T","steps":[{"test":{)" + members + "}}]}]}";
}

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
     "tasks[0].name: holds \"€\" (U+20AC), which the calibrator cannot show: write \"EUR\" "
     "instead"},
    {"dash a word processor made", R"({"prompts":[{"name":"p","text":"0–10 bar"}]})",
     "prompts[0].text: holds \"–\" (U+2013), which the calibrator cannot show: write \"-\" "
     "instead"},
    {"control character in a name", R"({"tasks":[{"name":"a\tb"}]})",
     "tasks[0].name: a name cannot hold control characters"},
    {"setups not by name", R"({"setups":[]})", "setups: must be an object of setups by name"},
    {"source value beyond every range",
     setup(kCurrentIn, R"("function":"current","value":0.025,"scale":[0.004,0.02])"),
     "setups.S.output.value: 25 mA is outside every \"current\" source range (0 to 22 mA)"},
    {"scale end beyond a sensor's reach",
     setup(kCurrentIn, R"("function":"tc","sensor":"tc_k","scale":[0,1500])"),
     "setups.S.output.scale[1]: 1500 °C is beyond what the source \"tc\" with \"tc_k\" reaches "
     "(-202 to 1374 °C)"},
    {"amplitude", setup(kCurrentIn, R"("function":"freq","amplitude":20,"scale":[10,100])"),
     "setups.S.output.amplitude: 20 V is not an amplitude a \"freq\" source takes (0 to 10 V)"},
    {"scale beyond every measure range", setup(R"("function":"dcv","scale":[0,500])", kNoOutput),
     "setups.S.input.scale[1]: 500 V is beyond every \"dcv\" measure range (up to 309 V)"},
    {"scale beyond the fixed range",
     setup(R"("function":"dcv","range":0.05,"scale":[0,1])", kNoOutput),
     "setups.S.input.scale[1]: 1 V is beyond the fixed range, which reaches up to 110.1 mV"},
    {"fixed range for a function without",
     setup(R"("function":"freq","range":5,"scale":[0,1])", kNoOutput),
     "setups.S.input.range: the input \"freq\" has no fixed range: 2006: "},
    {"unknown function", setup(R"("function":"volts","scale":[0,1])", kNoOutput),
     "setups.S.input.function: \"volts\" is not a function the calibrator measures (none, "
     "current, dcv, acv, freq, freq_low, 2w_ohms, 3w_ohms, 4w_ohms, cont, tc, 2w_rtd, 3w_rtd, "
     "4w_rtd, pressure)"},
    {"measure-only function as a source", setup(kCurrentIn, R"("function":"acv","scale":[0,1])"),
     "setups.S.output.function: \"acv\" is not a function the calibrator sources (none, current, "
     "dcv, freq, 2w_ohms, tc, 2w_rtd, pressure, current_sink)"},
    {"sensor of another name",
     setup(R"("function":"2w_rtd","sensor":"pt100","scale":[0,100])", kNoOutput),
     "setups.S.input.sensor: \"pt100\" is not a sensor of \"2w_rtd\" the calibrator knows "
     "(rtd_pt100_392, rtd_pt100_385, rtd_ni120, "},
    {"loop power in capitals", setup(kCurrentIn, kNoOutput, R"(,"loopPower":"24V")"),
     "setups.S.loopPower: \"24V\" is not a loop power setting the calibrator knows (none, off, "
     "24v, 28v): names are lowercase, \"24v\""},
    {"pressure source scale beyond the pressure range",
     setup(kCurrentIn, R"("function":"pressure","units":"bar","scale":[0,1600])"),
     "setups.S.output.scale[1]: 1600 bar is beyond the calibrator's pressure range (up to 759.11 "
     "bar)"},
    {"pressure measure scale beyond the pressure range",
     setup(R"("function":"pressure","scale":[0,12000])", kNoOutput),
     "setups.S.input.scale[1]: 12000 psi is beyond the calibrator's pressure range (up to 11010 "
     "psi)"},
    {"source clashing with the input",
     setup(kCurrentIn, R"("function":"current","scale":[0,0.02])"),
     "setups.S.output.function: the output \"current\" cannot run beside the input \"current\": "
     "the calibrator would measure dcv instead"},
    {"loop power clashing with the input",
     setup(R"("function":"2w_ohms","scale":[0,100])", kNoOutput, R"(,"loopPower":"24v")"),
     "setups.S.loopPower: loop power \"24v\" cannot run beside the input \"2w_ohms\": the "
     "calibrator would measure dcv instead"},
    {"reference junction out of range",
     setup(kCurrentIn, kNoOutput, R"(,"referenceJunction":{"mode":"user","temperature":500})"),
     "setups.S.referenceJunction: the reference junction \"user\" at 500 °C is refused: 2001: "},
    {"pressure units for a temperature",
     setup(R"("function":"tc","sensor":"tc_k","units":"bar","scale":[0,100])", kNoOutput),
     "setups.S.input.units: \"bar\" is not a temperature unit the calibrator knows (celsius, "
     "fahrenheit)"},
    {"units of an electrical function",
     setup(R"("function":"dcv","units":"celsius","scale":[0,1])", kNoOutput),
     "setups.S.input.units: \"dcv\" has no units to choose"},
    {"sensor missing", setup(R"("function":"tc","scale":[0,100])", kNoOutput),
     "setups.S.input: missing key \"sensor\": \"tc\" needs a thermocouple type"},
    {"equal scale ends", setup(R"("function":"dcv","scale":[1,1])", kNoOutput),
     "setups.S.input.scale: its two ends are equal"},
    {"tolerance not above 0", setup(kCurrentIn, kNoOutput, R"(,"tolerance":0)"),
     "setups.S.tolerance: must be above 0"},
    {"test of an unknown setup", test(R"("setup":"X","strategy":"5 ↑")"),
     "tasks[0].steps[0].test.setup: \"X\" names no setup of \"setups\""},
    {"test of an unknown strategy", test(R"("setup":"S","strategy":"7 ↑")"),
     "tasks[0].steps[0].test.strategy: \"7 ↑\" names neither a standard strategy nor one of"},
    {"three texts", test(R"("setup":"S","strategy":"5 ↑","texts":["a","b","c"])"),
     "tasks[0].steps[0].test.texts: holds more than the template's two texts"},
};

TEST(Description, EachProblemIsNamedAndNothingIsSent) {
    ScratchDir dir;
    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    for (const BadDescription& bad : kBad) {
        SCOPED_TRACE(bad.what);
        const std::string file = dir.write("bad.json", bad.json);
        const ProcessResult r = runCli({"--port", emu.portPath(), "download", file});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(file + ": " + bad.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(file + ": nothing was sent"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(emu.commands().empty());
}

// A pressure side that names a module of the lab file: its scale lies within the module's range,
// in the side's units.
TEST(Description, APressureScaleWithinItsModule) {
    ScratchDir dir;
    const std::string lab = dir.write("lab.toml", R"([[modules]]
serial = "PM-0815"
model = "pressure module 10 bar"
certificate = "CAL-1"
calibrated = 2026-01-04
due = 2027-01-04
range = [0, 10]
units = "bar")");
    const struct {
        std::string output;
        const char* problem;  // nullptr: none
    } cases[] = {
        {R"("units":"bar","module":"PM-0815","scale":[0,10])", nullptr},
        {R"("units":"bar","module":"PM-0815","scale":[0,12])",
         "setups.S.output.scale[1]: 12 bar is beyond the span of the pressure module (0 to 10 "
         "bar)"},
        {R"("module":"PM-0815","scale":[0,200])",
         "setups.S.output.scale[1]: 200 psi is beyond the span of the pressure module (0 to 145 "
         "psi)"},
        {R"("module":"PM-9","scale":[0,10])",
         "setups.S.output.module: \"PM-9\" is not a pressure module of the lab file (PM-0815)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string file =
            dir.write("p.json", setup(kCurrentIn, R"("function":"pressure",)" + c.output));
        const ProcessResult r = runCli({"--lab", lab, "show", file});
        EXPECT_EQ(r.exitCode, c.problem ? 2 : 0) << r.err;
        if (c.problem) {
            EXPECT_EQ(r.err, "kvtlnk: " + file + ": " + c.problem + "\n");
        }
    }
}

// All problems of a file are listed, in text and as JSON.
TEST(Description, EveryProblemOfAFileIsListed) {
    ScratchDir dir;
    const std::string file = dir.write("bad.json", R"({
        "strategies": [{"name": "s", "points": [4]}],
        "prompts": [{"name": "p", "text": "ok", "colour": "red"}],
        "setups": {"S": {"input": {"function": "tc", "scale": [0, 100]},
                         "output": {"function": "dcv", "scale": [0, 50]},
                         "loopPower": "on", "tolerance": 0}},
        "tasks": [{"name": "", "steps": [{"prompt": "q"}]}]})");
    const ProcessResult r = runCli({"show", file});
    EXPECT_EQ(r.exitCode, 2);
    // Every problem of the setup: those of its fields, and those the library finds in the rest.
    for (const char* field :
         {"strategies[0].points[0]", "prompts[0].colour", "setups.S.input: missing key \"sensor\"",
          "setups.S.output.scale[1]: 50 V", "setups.S.loopPower: \"on\" is not",
          "setups.S.tolerance", "tasks[0].name: must not be empty", "tasks[0].steps[0].prompt",
          "8 problems"}) {
        EXPECT_NE(r.err.find(std::string(file) + ": " + field), std::string::npos) << r.err;
    }
    const ProcessResult j = runCli({"--json", "show", file});
    EXPECT_EQ(j.exitCode, 2);
    EXPECT_EQ(jsonOf(j)["error"]["problems"][7],
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
