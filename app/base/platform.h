// What the application asks of the operating system, in one place: the user's folders and
// names, the environment, scratch folders, a program run with a time limit, and why a serial
// device cannot be opened. platform_posix.cpp and platform_win32.cpp answer it; everything
// else in the application is portable C++.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvtapp::platform {

// A variable of the environment; "" when it is not set.
std::string environment(const char* name);

// Where the user's settings and data live: $XDG_CONFIG_HOME (~/.config without it) and
// $XDG_DATA_HOME (~/.local/share); %APPDATA% and %LOCALAPPDATA% on Windows.
std::string configFolder();
std::string dataFolder();

// This machine's name and the user running the program; "" when unknown.
std::string hostName();
std::string userName();

// Whether the current user may make files in the folder.
bool writableFolder(const std::string& folder);

// Whether the text matches the pattern of shell wildcards (* ? [...]).
bool matchesPattern(const std::string& pattern, const std::string& text);

// A new, empty folder of the process's own under the system's temporary folder, named after
// the prefix; throws a calibrator-side Error saying why when none can be made.
std::string makeScratchFolder(const std::string& prefix);

// How a program run by runProgram ended.
struct ProgramEnd {
    bool finished = false;  // false: stopped at the time limit
    bool exited = false;    // it returned an exit status (it was not ended by a signal)
    int exitStatus = 0;
};

// Runs the program (command[0], a path) with the arguments that follow, its standard input
// empty and its output in the log file, in a process group of its own; waits at most timeLimitMs
// for it, calling checkpoint every fraction of a second (which may throw to stop the wait).
// A program that outlives the wait is stopped with everything it started. Throws a
// calibrator-side Error when it cannot be started.
ProgramEnd runProgram(const std::vector<std::string>& command, const std::string& log,
                      int timeLimitMs, const std::function<void()>& checkpoint);

// A program that talks over a channel beside its standard streams: it reads what is sent from
// its descriptor 3 and writes what is received to its descriptor 4 (as Chromium's
// --remote-debugging-pipe does), its output in the log file, in a process group of its own.
// Ending the object stops it with everything it started.
class PipedProgram {
  public:
    virtual ~PipedProgram() = default;
    // Sends the bytes; false when the program no longer reads.
    virtual bool send(const std::string& bytes) = 0;
    // What the program wrote since the last call, waiting at most waitMs for something; empty
    // when nothing came in that time. Throws a calibrator-side Error when it has ended.
    virtual std::string receive(int waitMs) = 0;
};
// Starts one; nothing where the platform cannot (Windows), so that the caller runs the program
// in another way. Throws a calibrator-side Error when it cannot be started.
std::unique_ptr<PipedProgram> startPipedProgram(const std::vector<std::string>& command,
                                                const std::string& log);

// The first executable of the names in the folders of PATH; "" when there is none.
std::string findProgram(const std::vector<std::string>& names);

// Why a device path cannot serve as the calibrator's port, with what to do ("permission
// denied; add your user to the \"dialout\" group and log in again"); empty when nothing is
// found. tryOpening opens it as the library does (finding a port that another program holds);
// otherwise only its type and access rights are looked at, which leaves the line untouched.
std::string portProblem(const std::string& path, bool tryOpening = true);

}  // namespace kvtapp::platform
