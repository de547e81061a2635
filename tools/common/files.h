// Files the tools read whole and write whole.
#pragma once

#include <string>

namespace kvttools {

// The whole file, or false with "PATH: reason" (a directory says so).
bool readTextFile(const std::string& path, std::string* text, std::string* error);

// A file written as a whole or not at all: the text goes to a temporary file beside it, which
// is renamed into place. Opening makes the temporary file, so a path that cannot be written
// fails before any work is done; one that is never committed leaves nothing behind.
class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False with "PATH: reason" when the file cannot be made there. With replace false, a file
    // that exists is refused, here and when the text is put in place.
    bool open(const std::string& path, std::string* error, bool replace = true);
    bool commit(const std::string& text, std::string* error);
    const std::string& path() const { return path_; }

    // Deletes every temporary file not yet committed, for a program that ends without
    // unwinding.
    static void removePending();

  private:
    void discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool replace_ = true;
};

}  // namespace kvttools
