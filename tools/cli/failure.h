// How the tool ends a command that cannot go on: the line for the user, and the exit status.
#pragma once

#include <cstdint>
#include <string>

#include "base/error.h"

namespace kvtcli {

enum ExitCode : int {
    kExitOk = 0,
    kExitCalibrator = 1,  // the library or the calibrator refused or failed
    kExitInput = 2,       // bad usage, a file that cannot be read, a description that is not valid
    kExitSignal = 128,    // plus the signal's number: stopped by Ctrl-C (130) or SIGTERM (143)
};

// A failure of the application with the exit status it ends the tool with.
class CliError : public kvtapp::Error {
  public:
    CliError(int exitCode, const std::string& message, uint32_t resultCode = 0)
        : Error(exitCode == kExitInput ? kvtapp::Fault::Input : kvtapp::Fault::Calibrator, message,
                resultCode),
          exitCode_(exitCode) {}
    explicit CliError(const kvtapp::Error& e)
        : Error(e), exitCode_(e.fault() == kvtapp::Fault::Input ? kExitInput : kExitCalibrator) {}

    int exitCode() const { return exitCode_; }

    // The command printed its answer, JSON too, before it ended so: the message goes to standard
    // error only.
    CliError& answered() {
        answered_ = true;
        return *this;
    }
    bool wasAnswered() const { return answered_; }

  private:
    int exitCode_;
    bool answered_ = false;
};

}  // namespace kvtcli
