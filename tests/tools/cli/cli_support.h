// Running the kvtlnk tool from tests, and scratch files for it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "process.h"

// The tool built next to the tests.
ProcessResult runCli(const std::vector<std::string>& args);

// The program and its arguments, run as the user "nobody" when the tests run as root (whom
// no file permission stops), as they are otherwise.
std::vector<std::string> asOrdinaryUser(std::vector<std::string> command);

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

// The whole file; empty when it cannot be read.
std::string contents(const std::string& path);

// Standard output parsed as JSON; a null value when it is not JSON.
nlohmann::json jsonOf(const ProcessResult& r);
