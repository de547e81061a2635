// Worker processes: started with their standard input, output and error on pipes of the
// server's,
// nothing else of the server's open in them, and how each ended told in words.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace kvtweb {

struct Child {
    pid_t pid = -1;
    int input = -1;   // the child's standard input, to write to
    int output = -1;  // the child's standard output, to read from
    int errors = -1;  // the child's standard error, to read from
};

// Starts program with the arguments, the environment of the server plus the variables given
// ("NAME=value"). Throws a calibrator-side Error when it cannot.
Child startChild(const std::vector<std::string>& command, const std::vector<std::string>& env);

// Waits for the child to end; "" when it exited with status 0, else how it ended ("exited with
// status 3", "was killed by signal 9 (Killed)").
std::string waitChild(pid_t pid);

// Writes the whole text to the descriptor; false when the reader has gone.
bool writeAll(int fd, const std::string& text);

}  // namespace kvtweb
