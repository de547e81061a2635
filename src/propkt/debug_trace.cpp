#include "propkt/debug_trace.h"

#include <atomic>
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

void platformSink(const char* text) {
#if defined(_WIN32)
    OutputDebugStringA(text);
#else
    // Standard error belongs to the application; write there only when asked to.
    static const bool enabled = std::getenv("KVTLNK_DEBUG") != nullptr;
    if (enabled) std::fputs(text, stderr);
#endif
}

// The emulator's line and the library's port may trace from different threads.
std::atomic<DebugSink> gSink{&platformSink};

}  // namespace

void DebugTrace(const char* format, ...) {
    char text[kTraceSize + 1];  // one more for the "\r" of a final "\r\n"
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, kTraceSize, format, args);
    va_end(args);
    if (n < 0) return;
    size_t len = std::strlen(text);
    if (len > 0 && text[len - 1] == '\n') {
        text[len - 1] = '\r';
        text[len] = '\n';
        text[len + 1] = '\0';
    }
    gSink.load()(text);
}

void traceCallFailure(const char* call, int err, const char* reason) {
    DebugTrace("%s: %s\n", call, err != 0 ? std::strerror(err) : reason);
}

void traceExchange(const char* event, const uint8_t* bytes, uint32_t n) {
    const char* level = std::getenv("KVTLNK_DEBUG");
    if (level == nullptr || std::atoi(level) < 2) return;
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::string text = event;
    if (bytes != nullptr) text += ' ';
    for (uint32_t i = 0; bytes != nullptr && i < n; ++i) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? std::string(1, static_cast<char>(bytes[i]))
                                                    : std::string(escaped);
    }
    DebugTrace("%8lld ms  %s\n", static_cast<long long>(ms.count()), text.c_str());
}

DebugSink setDebugSink(DebugSink sink) {
    return gSink.exchange(sink != nullptr ? sink : &platformSink);
}

}  // namespace kvtlnk
