#include "cli_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
