#include "propkt/debug_trace.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kvtlnk {

namespace {

constexpr size_t kTraceSize = 4096;

int environmentLevel() {
    const char* level = std::getenv("KVTLNK_DEBUG");
    return level != nullptr ? std::atoi(level) : 0;
}

}  // namespace

void platformSink(const char* text) {
#if defined(_WIN32)
    OutputDebugStringA(text);
#else
    // Standard error belongs to the application; write there only when asked to.
    static const bool enabled = std::getenv("KVTLNK_DEBUG") != nullptr;
    if (enabled) std::fputs(text, stderr);
#endif
}

bool Trace::shows(int wanted) const {
    return (level == kLevelFromEnvironment ? environmentLevel() : level) >= wanted;
}

void Trace::text(const char* format, ...) const {
    char line[kTraceSize + 1];  // one more for the "\r" of a final "\r\n"
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, kTraceSize, format, args);
    va_end(args);
    if (n < 0) return;
    size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') {
        line[len - 1] = '\r';
        line[len] = '\n';
        line[len + 1] = '\0';
    }
    sink(line);
}

void Trace::callFailure(const char* call, int err, const char* reason) const {
    text("%s: %s\n", call, err != 0 ? std::strerror(err) : reason);
}

void Trace::exchange(const char* event, const uint8_t* bytes, uint32_t n) const {
    if (!shows(2)) return;
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::string line = event;
    if (bytes != nullptr) line += ' ';
    for (uint32_t i = 0; bytes != nullptr && i < n; ++i) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
        line += bytes[i] >= 0x20 && bytes[i] < 0x7F ? std::string(1, static_cast<char>(bytes[i]))
                                                    : std::string(escaped);
    }
    text("%8lld ms  %s\n", static_cast<long long>(ms.count()), line.c_str());
}

}  // namespace kvtlnk
