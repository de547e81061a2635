#include "field_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

const char* const kFieldTests = R"({
  "setups": {
    "PT": {"input": {"function": "current", "scale": [0.004, 0.02]},
           "output": {"function": "pressure", "units": "bar", "scale": [0, 10]},
           "loopPower": "24v", "tolerance": 0.03},
    "TT": {"input": {"function": "dcv", "scale": [0, 0.1]},
           "output": {"function": "tc", "sensor": "tc_k", "scale": [0, 400]}, "tolerance": 0.1}},
  "tasks": [{"name": "field", "steps": [
    {"test": {"setup": "PT", "strategy": "5 ↑↓", "texts": ["PT-1", "as found"]}},
    {"test": {"setup": "PT", "strategy": "3 ↑", "flag": true, "texts": ["PT-1", "as left"]}},
    {"test": {"setup": "TT", "strategy": "5 ↑", "texts": ["TT-2", ""]}}]}]})";

kvttools::DateStamp stampOn(int year, int month, int day) {
    kvttools::DateStamp s;
    s.hour = 9;
    s.day = static_cast<uint8_t>(day);
    s.month = static_cast<uint8_t>(month);
    s.year = static_cast<uint8_t>(year - kvttools::DateStamp::kBaseYear);
    return s;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string fieldImage(const ScratchDir& dir, uint32_t seed, kvttools::DateStamp day,
                       const std::string& serial,
                       const std::function<void(k27emu::Calibrator&)>& alter) {
    k27emu::CalibratorOptions options;
    options.seed = seed;
    options.clock = day;
    options.identity.serialNumber = serial;
    k27emu::Calibrator emu(options);
    EXPECT_TRUE(emu.start());
    const std::string port = emu.portPath();
    EXPECT_EQ(
        runCli({"--port", port, "-q", "download", dir.write("tests.json", kFieldTests)}).exitCode,
        0);
    emu.runProcedures();
    if (alter) alter(emu);
    const std::string image = dir.path("field-" + serial + "-" + std::to_string(seed) + ".json");
    EXPECT_EQ(runCli({"--port", port, "-q", "upload", "--out", image}).exitCode, 0);
    return image;
}
