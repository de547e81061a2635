// The server's log, on standard error: a line at a time, each byte that is not well-formed
// UTF-8 or is a control shown as an escape, whoever's text it carries (a worker's, a
// calibrator's, a file's).
#pragma once

#include <string>

namespace kvtweb {

void say(const std::string& line);

// Says each line read from the descriptor (a worker's standard error) after the prefix, until
// its end; then closes it. A line longer than a screenful is cut.
void sayLines(int fd, const std::string& prefix);

}  // namespace kvtweb
