// How the tool ends a subcommand that cannot go on: one line for the user (one per problem
// of a file) and an exit code.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace kvtcli {

enum ExitCode : int {
    kExitOk = 0,
    kExitCalibrator = 1,  // the library or the calibrator refused or failed
    kExitInput = 2,       // bad usage, a file that cannot be read, a description that is not valid
    kExitSignal = 128,    // plus the signal's number: stopped by Ctrl-C (130) or SIGTERM (143)
};

// One thing wrong with a file: the field it concerns ("tasks[0].steps[2].prompt") and what is
// wrong with it.
struct Problem {
    std::string field;
    std::string message;
};

class CliError : public std::exception {
  public:
    CliError(int exitCode, std::string message, uint32_t resultCode = 0)
        : exitCode_(exitCode), resultCode_(resultCode), message_(std::move(message)) {}

    const char* what() const noexcept override { return message_.c_str(); }
    int exitCode() const { return exitCode_; }
    uint32_t resultCode() const { return resultCode_; }
    const std::vector<Problem>& problems() const { return problems_; }

    // Adds a line to the message, such as what became of the transfer.
    void addLine(const std::string& line) { message_ += "\n" + line; }

    // The command printed its answer, JSON too, before it ended so: the message goes to standard
    // error only.
    CliError& answered() {
        answered_ = true;
        return *this;
    }
    bool wasAnswered() const { return answered_; }

    // The problems of a file, one line each ("FILE: field: message").
    static CliError fileProblems(const std::string& file, std::vector<Problem> problems);

  private:
    int exitCode_;
    uint32_t resultCode_;
    std::string message_;
    std::vector<Problem> problems_;
    bool answered_ = false;
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
