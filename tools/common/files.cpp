#include "common/files.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

namespace kvttools {
namespace {

std::mutex pendingMutex;
std::set<std::string> pending;  // temporary files of AtomicFile not yet renamed

std::string reason(const std::string& path, int err) {
    return fmt::format("{}: {}", path, std::strerror(err));
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

bool notRegular(const std::string& path, mode_t mode, std::string* error) {
    *error = S_ISDIR(mode) ? path + ": is a directory, not a file"
                           : fmt::format(
                                 "{}: is {}, not a regular file (give - to read standard "
                                 "input)",
                                 path, kindOf(mode));
    return false;
}

bool tooLarge(const std::string& what, std::string* error) {
    *error = fmt::format("{}: is larger than {} MiB, more than the tools read of a file", what,
                         kMaxInputBytes >> 20);
    return false;
}

// Reads fd to its end, or to one byte past the bound.
bool readBounded(int fd, std::string* text) {
    char buffer[1 << 16];
    while (text->size() <= kMaxInputBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        text->append(buffer, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

int FileCalls::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int FileCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

FileCalls& FileCalls::system() {
    static FileCalls calls;
    return calls;
}

bool readTextFile(const std::string& path, std::string* text, std::string* error) {
    const bool standardInput = path == "-";
    const std::string name = standardInput ? "standard input" : path;
    int fd = STDIN_FILENO;
    if (!standardInput) {
        // Looked at before it is opened, so that opening a device or a pipe never waits or
        // acts; then what was opened is looked at, in case the name changed in between.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            *error = reason(path, errno);
            return false;
        }
        if (!S_ISREG(st.st_mode)) return notRegular(path, st.st_mode, error);
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            *error = reason(path, errno);
            return false;
        }
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return notRegular(path, st.st_mode, error);
        }
        if (static_cast<uint64_t>(st.st_size) > kMaxInputBytes) {
            ::close(fd);
            return tooLarge(path, error);
        }
        text->reserve(static_cast<size_t>(st.st_size));
    }
    text->clear();
    const bool read = readBounded(fd, text);
    const int err = errno;
    if (!standardInput) ::close(fd);
    if (!read) {
        *error = reason(name, err);
        return false;
    }
    if (text->size() > kMaxInputBytes) {
        text->clear();
        return tooLarge(name, error);
    }
    return true;
}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open(const std::string& path, std::string* error, bool replace) {
    discard();
    path_ = path;
    replace_ = replace;
    struct stat existing {};
    if (!replace && ::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        *error = reason(path, EEXIST);
        return false;
    }
    // Never through a link, never waiting for a reader; what was opened decides.
    const int fd =
        calls_.open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT) return openTemporary(error);
        *error = err == ELOOP    ? path + ": is a symbolic link; name the file itself"
                 : err == ENXIO  ? path + ": is a pipe that no program reads"
                 : err == EISDIR ? path + ": is a directory; name a file"
                                 : reason(path, err);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = reason(path, errno);
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        ::close(fd);
        return openTemporary(error);
    }
    if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode)) {
        *error = fmt::format("{}: is {}; name a regular file", path, kindOf(st.st_mode));
        ::close(fd);
        return false;
    }
    // A pipe with a reader, or a device: written in place, waiting as writes do.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    return true;
}

bool AtomicFile::openTemporary(std::string* error) {
    // Beside the file, so that the rename stays within one file system.
    const size_t slash = path_.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    std::string temporary = dir + "." + base + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = reason(path_, errno);
        return false;
    }
    // mkostemp makes the file private; the result gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending.insert(temporary);
    }
    temporary_ = temporary;
    fd_ = fd;
    return true;
}

bool AtomicFile::commit(const std::string& text, std::string* error) {
    size_t done = 0;
    while (fd_ >= 0 && done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool inPlace = temporary_.empty();
    bool ok = fd_ >= 0 && done == text.size() && (inPlace || ::fsync(fd_) == 0);
    int err = errno;
    if (fd_ >= 0 && ::close(fd_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    fd_ = -1;
    // A link to the new name fails when something took the name meanwhile; a rename would
    // replace it.
    if (ok && !inPlace &&
        (replace_ ? calls_.rename(temporary_.c_str(), path_.c_str())
                  : ::link(temporary_.c_str(), path_.c_str())) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && !replace_) ::unlink(temporary_.c_str());
    if (!ok) {
        *error = reason(path_, err);
        discard();
        return false;
    }
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending.erase(temporary_);
    temporary_.clear();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (temporary_.empty()) return;
    ::unlink(temporary_.c_str());
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending.erase(temporary_);
    temporary_.clear();
}

void AtomicFile::removePending() {
    std::lock_guard<std::mutex> lock(pendingMutex);
    for (const std::string& t : pending)
        ::unlink(t.c_str());
    pending.clear();
}

}  // namespace kvttools
