// Programs run from tests as their own processes: kvtlnk, kvtsim.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1 when it was ended by a signal or killed for running too long
    std::string out;
    std::string err;
};

class ChildProcess {
  public:
    // Starts the program with its standard output and error going to this object.
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Collects output until done holds; false when it did not within the time.
    bool readUntil(const std::function<bool(const ProcessResult&)>& done, int timeoutSeconds = 60);
    // Sends the signal (none for 0), then collects the rest and how it ended; a program still
    // running after the time is killed.
    ProcessResult finish(int signal = 0, int timeoutSeconds = 60);

  private:
    pid_t pid_ = -1;
    int pipes_[2] = {-1, -1};  // its standard output and error
    ProcessResult result_;
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutSeconds = 60);
// The program and its arguments in one list.
ProcessResult runProcess(const std::vector<std::string>& command, int timeoutSeconds = 60);
