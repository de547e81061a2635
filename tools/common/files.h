// Files the tools read whole and write whole.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace kvttools {

// The most the tools read of one input. An image file of two full memories takes about 5 MB.
constexpr size_t kMaxInputBytes = size_t{64} << 20;

// The system calls the tools make on files by name, which a test replaces to change what
// stands under a name between two of them.
class FileCalls {
  public:
    virtual ~FileCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual int rename(const char* from, const char* to);
    // The calls as the system makes them.
    static FileCalls& system();
};

// An input read whole: a regular file of at most kMaxInputBytes, or for "-" standard input,
// read up to that bound. Anything else (a directory, a device, a pipe, a socket) is refused at
// once, without waiting for a writer or reading a byte. False with "PATH: reason".
bool readTextFile(const std::string& path, std::string* text, std::string* error);

// A file written as a whole or not at all. A regular file (or a name where nothing stands)
// gets the text through a temporary file beside it, renamed into place: what stands under the
// name then, a file or a link planted there, is replaced, never written through. A pipe or a
// character device (/dev/null, a terminal) is written in place. A symbolic link is refused, as
// is a pipe that no program reads. Opening decides which, so a path that cannot be written
// fails before any work is done; a file never committed leaves nothing behind.
class AtomicFile {
  public:
    explicit AtomicFile(FileCalls& calls = FileCalls::system()) : calls_(calls) {}
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False with "PATH: reason" when the file cannot be written there. With replace false, a
    // regular file that exists is refused, here and when the text is put in place.
    bool open(const std::string& path, std::string* error, bool replace = true);
    bool commit(const std::string& text, std::string* error);
    const std::string& path() const { return path_; }

    // Deletes every temporary file not yet committed, for a program that ends without
    // unwinding.
    static void removePending();

  private:
    bool openTemporary(std::string* error);
    void discard();

    FileCalls& calls_;
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool replace_ = true;
};

}  // namespace kvttools
