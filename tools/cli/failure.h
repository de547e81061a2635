// How the tool ends a subcommand that cannot go on: one line for the user and an exit code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kvtcli {

enum ExitCode : int {
    kExitOk = 0,
    kExitCalibrator = 1,  // the library or the calibrator refused or failed
    kExitInput = 2,       // bad usage, a file that cannot be read, a description that is not valid
};

class CliError : public std::runtime_error {
  public:
    CliError(int exitCode, const std::string& message, uint32_t resultCode = 0)
        : std::runtime_error(message), exitCode_(exitCode), resultCode_(resultCode) {}
    int exitCode() const { return exitCode_; }
    uint32_t resultCode() const { return resultCode_; }

  private:
    int exitCode_;
    uint32_t resultCode_;
};

// "what: 2019: the calibrator did not answer: ..." for a result code of the library, with the
// consequence for the user in brackets after it when there is one.
CliError libraryError(uint32_t resultCode, const std::string& what,
                      const std::string& consequence = "");

// A file or argument the tool cannot use.
inline CliError inputError(const std::string& message) {
    return CliError(kExitInput, message);
}

}  // namespace kvtcli
