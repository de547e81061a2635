#include "propkt/debug_trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

DebugSink setDebugSink(DebugSink sink) {
    return gSink.exchange(sink != nullptr ? sink : &platformSink);
}

}  // namespace kvtlnk
