#include "cli_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

const std::string kExample = KVTLNK_EXAMPLE_PATH;

const char* const kFieldMemories = R"({"procedure": [
      {"kind": 13, "version": 0, "stamp": "2024-05-02 14:03:00", "data": "00"}],
    "results": [
      {"kind": 15, "version": 0, "stamp": "2024-05-02 14:10:00", "data": "5441472d3100410000"},
      {"kind": 15, "version": 0, "stamp": "2024-05-02 14:20:00", "data": "5441472d3200410000"}]})";

const char* const kNoResults =
    R"({"kvtlnkImage": 1, "calibrator": {"serialNumber": "SN0"}, "procedure": [], "results": []})";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool holdsControls(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && (text[i + 1] & 0xE0) == 0x80;
        if ((c < 0x20 && c != '\n') || c == 0x7F || c1) return true;
    }
    return false;
}

ProcessResult runCli(const std::vector<std::string>& args) {
    return runProcess(KVTLNK_CLI_PATH, args);
}

std::vector<std::string> asOrdinaryUser(std::vector<std::string> command) {
    if (geteuid() == 0) {
        command.insert(command.begin(),
                       {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    return command;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtcli-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

nlohmann::json jsonOf(const ProcessResult& r) {
    return nlohmann::json::parse(r.out, nullptr, false);
}

namespace {

std::string filled(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& names) {
    for (const auto& [name, value] : names) {
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), value);
    }
    return text;
}

// The command of a line; empty when it is to be skipped.
std::vector<std::string> commandOf(const std::string& line) {
    std::vector<std::string> environment = {"/usr/bin/env"};
    std::vector<std::string> command;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
        if (command.empty() && word.rfind("cd=", 0) == 0) {
            environment.push_back("--chdir=" + word.substr(3));
        } else if (command.empty() && word.find('=') != std::string::npos && word[0] != '-') {
            environment.push_back(word);
        } else if (command.empty() && word == "nobody") {
            if (geteuid() != 0) return {};
            environment = asOrdinaryUser(environment);
        } else if (command.empty() && word == "kvtsim") {
            command = {KVTSIM_PATH};
        } else {
            if (command.empty()) command = {KVTLNK_CLI_PATH, "-q"};
            command.push_back(word == "''" ? "" : word);
        }
    }
    if (command.empty()) command = {KVTLNK_CLI_PATH, "-q"};
    environment.insert(environment.end(), command.begin(), command.end());
    return environment;
}

}  // namespace

void expectFirstLines(const std::vector<CommandLine>& lines,
                      const std::vector<std::pair<std::string, std::string>>& names,
                      const ScratchDir& dir) {
    std::vector<std::pair<std::string, std::string>> all = names;
    all.emplace_back("@file", dir.path("file.json"));
    for (const CommandLine& c : lines) {
        SCOPED_TRACE(c.commandLine);
        std::string line = c.commandLine;
        if (const size_t at = line.find("@file="); at != std::string::npos) {
            dir.write("file.json", line.substr(at + 6));
            line.replace(at, std::string::npos, "@file");
        }
        const std::vector<std::string> command = commandOf(filled(line, all));
        if (command.empty()) continue;
        const ProcessResult r = runProcess(command);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        const std::string& text = c.exitCode == 0 ? r.out : r.err;
        const std::string expected = filled(c.firstLine, all);
        EXPECT_EQ(text.substr(0, std::min(text.find('\n'), expected.size())), expected);
    }
}

std::string fieldTests(const std::string& tolerance) {
    return R"({
  "setups": {
    "PT": {"input": {"function": "current", "scale": [0.004, 0.02]},
           "output": {"function": "pressure", "units": "bar", "scale": [0, 10]},
           "loopPower": "24v", "tolerance": )" +
           tolerance + R"(},
    "TT": {"input": {"function": "dcv", "scale": [0, 0.1]},
           "output": {"function": "tc", "sensor": "tc_k", "scale": [0, 400]}, "tolerance": )" +
           tolerance + R"(}},
  "tasks": [{"name": "field", "steps": [
    {"test": {"setup": "PT", "strategy": "5 ↑↓", "texts": ["PT-1", "as found"]}},
    {"test": {"setup": "PT", "strategy": "3 ↑", "flag": true, "texts": ["PT-1", "as left"]}},
    {"test": {"setup": "TT", "strategy": "5 ↑", "texts": ["TT-2", ""]}}]}]})";
}

kvttools::DateStamp stampOn(int year, int month, int day) {
    kvttools::DateStamp s;
    s.hour = 9;
    s.day = static_cast<uint8_t>(day);
    s.month = static_cast<uint8_t>(month);
    s.year = static_cast<uint8_t>(year - kvttools::DateStamp::kBaseYear);
    return s;
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
        runCli({"--port", port, "-q", "download", dir.write("tests.json", fieldTests())}).exitCode,
        0);
    emu.runProcedures();
    if (alter) alter(emu);
    const std::string image = dir.path("field-" + serial + "-" + std::to_string(seed) + ".json");
    EXPECT_EQ(runCli({"--port", port, "-q", "upload", "--out", image}).exitCode, 0);
    // Uploaded at the end of the day of the field run, as a calibrator back from the field is.
    nlohmann::json document = nlohmann::json::parse(contents(image));
    char uploaded[32];
    std::snprintf(uploaded, sizeof uploaded, "%04d-%02d-%02d 17:00:00", day.fullYear(), day.month,
                  day.day);
    document["calibrator"]["uploaded"] = uploaded;
    dir.write(image.substr(image.rfind('/') + 1), document.dump(1));
    return image;
}
