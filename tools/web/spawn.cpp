#include "spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/error.h"

extern char** environ;

namespace kvtweb {

Child startChild(const std::vector<std::string>& command, const std::vector<std::string>& env) {
    // Everything the child needs is made before the fork: after it, in a process with threads,
    // the child may only call what is safe there.
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables(env);
    for (char** e = environ; *e; ++e)
        variables.emplace_back(*e);
    std::vector<char*> envp;
    for (const std::string& v : variables)
        envp.push_back(const_cast<char*>(v.c_str()));
    envp.push_back(nullptr);

    sigset_t none;
    sigemptyset(&none);

    int pipes[3][2];
    for (int i = 0; i < 3; ++i) {
        if (pipe2(pipes[i], O_CLOEXEC) == 0) continue;
        for (int made = 0; made < i; ++made) {
            close(pipes[made][0]);
            close(pipes[made][1]);
        }
        throw kvtapp::calibratorError("no pipe for a worker");
    }
    int(&in)[2] = pipes[0];
    int(&out)[2] = pipes[1];
    int(&err)[2] = pipes[2];
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own process group, so that Ctrl-C at the server's terminal reaches the server,
        // which ends its workers; and the signals the server's threads leave to one of them.
        setpgid(0, 0);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        // Sockets and the other workers' pipes stay the server's.
        if (close_range(3, ~0U, 0) != 0) {
            for (int fd = 3; fd < 4096; ++fd)
                close(fd);
        }
        signal(SIGPIPE, SIG_DFL);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    const int failure = errno;
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        throw kvtapp::calibratorError(std::string("cannot start a worker: ") + strerror(failure));
    }
    return {pid, in[1], out[0], err[0]};
}

std::string waitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return "ended unseen";
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status) == 0
                   ? ""
                   : "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return "was killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    return "ended";
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace kvtweb
