#include "cli_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
