#include "propkt/posix_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kvtlnk {

namespace {

int sysOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int sysIoctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

const PosixCalls kSystemCalls = {
    &sysOpen,     &::close,     &::read,  &::write,   &::poll,    &::nanosleep, &sysIoctl,
    &::tcgetattr, &::tcsetattr, &::flock, &::tcflush, &::tcdrain, &::fstat,
};

}  // namespace

const PosixCalls& systemPosixCalls() {
    return kSystemCalls;
}

}  // namespace kvtlnk
