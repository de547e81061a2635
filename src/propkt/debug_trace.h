#pragma once

#include <cstdint>

namespace kvtlnk {

// The serial driver's diagnostic output. DebugTrace formats a text (at most 4096 bytes), turns
// a final "\n" into "\r\n" and hands it to the current sink. The default sink is the
// platform's debug output: OutputDebugStringA on Windows, standard error on POSIX when the
// environment variable KVTLNK_DEBUG is set.
using DebugSink = void (*)(const char* text);

void DebugTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Traces the system call that failed and why: "<call>: <error text>" (errno's text, or the
// given reason when err is 0).
void traceCallFailure(const char* call, int err, const char* reason = "no error code");

// The exchange trace, on when KVTLNK_DEBUG is 2 or more: one line per event of the library's
// exchanges with the calibrator ("> ma p,14,0,14", "< 0", "time-out", "link up"), stamped with
// the milliseconds since the first line, through the same sink. The packet's bytes follow the
// event when given, printable ones as they are and others as \xNN.
void traceExchange(const char* event, const uint8_t* bytes = nullptr, uint32_t n = 0);

// Installs a sink (nullptr restores the default) and returns the previous one.
DebugSink setDebugSink(DebugSink sink);

}  // namespace kvtlnk
