#include "common/files.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace kvttools {
namespace {

std::mutex pendingMutex;
std::set<std::string> pending;  // temporary files of AtomicFile not yet renamed

std::string reason(const std::string& path, int err) {
    return fmt::format("{}: {}", path, std::strerror(err));
}

}  // namespace

bool readTextFile(const std::string& path, std::string* text, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = path + ": is a directory, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = reason(path, errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        *error = reason(path, errno);
        return false;
    }
    *text = content.str();
    return true;
}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open(const std::string& path, std::string* error, bool replace) {
    discard();
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!replace && (exists || ::lstat(path.c_str(), &st) == 0)) {
        *error = reason(path, EEXIST);
        return false;
    }
    replace_ = replace;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = path + ": is a directory; name a file";
        return false;
    }
    // A device or a pipe (/dev/stdout, /dev/null) is written in place: renaming a file over it
    // would replace the device node.
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = reason(path, errno);
            return false;
        }
        path_ = path;
        fd_ = fd;
        return true;
    }
    // Beside the file, so that the rename stays within one file system.
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = dir + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = reason(path, errno);
        return false;
    }
    // mkstemp makes the file private; the result gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending.insert(temporary);
    }
    path_ = path;
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
        (replace_ ? ::rename(temporary_.c_str(), path_.c_str())
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
