// Why a piece of work of the application cannot go on: one line for the user (one per problem
// of a file), whose fault it is, and the library's result code when it gave one.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace kvtapp {

// Whose the failure is: the calibrator's or the library's (a refusal, a lost line, a result
// that fails), or what the user gave (a file that cannot be read, a description that is not
// valid, results that would be lost). A front end tells them apart: the command-line tool by
// its exit status.
enum class Fault { Calibrator, Input };

// One thing wrong with a file: the field it concerns ("tasks[0].steps[2].prompt") and what is
// wrong with it.
struct Problem {
    std::string field;
    std::string message;
};

class Error : public std::exception {
  public:
    Error(Fault fault, std::string message, uint32_t resultCode = 0)
        : fault_(fault), resultCode_(resultCode), message_(std::move(message)) {}

    const char* what() const noexcept override { return message_.c_str(); }
    Fault fault() const { return fault_; }
    uint32_t resultCode() const { return resultCode_; }
    const std::vector<Problem>& problems() const { return problems_; }

    // Adds a line to the message, such as what became of the transfer.
    void addLine(const std::string& line) { message_ += "\n" + line; }

    // The problems of a file, one line each ("FILE: field: message").
    static Error fileProblems(const std::string& file, std::vector<Problem> problems);

  private:
    Fault fault_;
    uint32_t resultCode_;
    std::string message_;
    std::vector<Problem> problems_;
};

// "what: 2019: the calibrator did not answer: ..." for a result code of the library, with the
// consequence for the user in brackets after it when there is one.
Error libraryError(uint32_t resultCode, const std::string& what,
                   const std::string& consequence = "");

// A failure of the calibrator, the library or what they rely on.
inline Error calibratorError(const std::string& message, uint32_t resultCode = 0) {
    return Error(Fault::Calibrator, message, resultCode);
}

// A file or argument the application cannot use.
inline Error inputError(const std::string& message) {
    return Error(Fault::Input, message);
}

}  // namespace kvtapp
