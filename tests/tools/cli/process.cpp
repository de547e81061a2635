#include "process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    pipes_[0] = out[0];
    pipes_[1] = err[0];
    if (spawned != 0) pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) finish(SIGKILL, 5);
    for (int fd : pipes_) {
        if (fd >= 0) close(fd);
    }
}

bool ChildProcess::readUntil(const std::function<bool(const ProcessResult&)>& done,
                             int timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    std::string* sinks[2] = {&result_.out, &result_.err};
    while (!done(result_)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd fds[2] = {{pipes_[0], POLLIN, 0}, {pipes_[1], POLLIN, 0}};
        if (pipes_[0] < 0 && pipes_[1] < 0) return false;  // nothing more will come
        if (poll(fds, 2, 100) < 0) return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(pipes_[i]);
                pipes_[i] = -1;
            }
        }
    }
    return true;
}

ProcessResult ChildProcess::finish(int signal, int timeoutSeconds) {
    if (pid_ <= 0) return result_;
    if (signal != 0) kill(pid_, signal);
    const bool ended = readUntil(
        [this](const ProcessResult&) { return pipes_[0] < 0 && pipes_[1] < 0; }, timeoutSeconds);
    if (!ended) kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.exitCode = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result_;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutSeconds) {
    return ChildProcess(program, args).finish(0, timeoutSeconds);
}

ProcessResult runProcess(const std::vector<std::string>& command, int timeoutSeconds) {
    return runProcess(command[0], {command.begin() + 1, command.end()}, timeoutSeconds);
}
