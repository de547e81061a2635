#pragma once

// The system calls the POSIX serial line makes, gathered in one table that each line is given,
// so that a test can give its own and make a call fail (EINTR, EIO, a short write, an adapter
// that was unplugged) without hardware.
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

#include <ctime>

#include <cstddef>

namespace kvtlnk {

struct PosixCalls {
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buf, size_t n);
    ssize_t (*write)(int fd, const void* buf, size_t n);
    int (*poll)(struct pollfd* fds, nfds_t n, int timeoutMs);
    // The line's sleep, to the microsecond: a byte takes about a millisecond at 9600 baud.
    int (*nanosleep)(const struct timespec* wanted, struct timespec* left);
    int (*ioctl)(int fd, unsigned long request, void* arg);
    int (*tcgetattr)(int fd, struct termios* t);
    int (*tcsetattr)(int fd, int action, const struct termios* t);
    int (*flock)(int fd, int operation);
    int (*tcflush)(int fd, int queue);
    int (*tcdrain)(int fd);
    int (*fstat)(int fd, struct stat* st);
};

// The operating system's own calls.
const PosixCalls& systemPosixCalls();

}  // namespace kvtlnk
