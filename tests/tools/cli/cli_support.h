// Running the kvtlnk tool from tests, and scratch files for it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1 when it was killed for running too long or by a signal
    std::string out;
    std::string err;
};

// Runs a program as its own process and collects what it wrote and how it ended.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutSeconds = 60);

// The tool built next to the tests.
ProcessResult runCli(const std::vector<std::string>& args);

// A scratch directory removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes text to the named file and returns its path.
    std::string write(const std::string& name, const std::string& text) const;

  private:
    std::string dir_;
};

// Standard output parsed as JSON; a null value when it is not JSON.
nlohmann::json jsonOf(const ProcessResult& r);
