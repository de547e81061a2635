#include "say.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "base/escape.h"

namespace kvtweb {
namespace {

constexpr size_t kLongestLine = 4000;

}  // namespace

void say(const std::string& line) {
    std::cerr << "kvtlnk: " + kvtapp::visibleText(line.substr(0, kLongestLine)) + "\n"
              << std::flush;
}

void sayLines(int fd, const std::string& prefix) {
    FILE* in = fdopen(fd, "r");
    if (!in) {
        close(fd);
        return;
    }
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t n;
    while ((n = getline(&line, &capacity, in)) > 0) {
        std::string text(line, static_cast<size_t>(n));
        if (text.back() == '\n') text.pop_back();
        say(prefix + text);
    }
    free(line);
    fclose(in);
}

}  // namespace kvtweb
