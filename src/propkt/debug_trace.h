#pragma once

#include <cstdint>

namespace kvtlnk {

// Where diagnostic text goes, one line at a time.
using DebugSink = void (*)(const char* text);

// The platform's debug output: OutputDebugStringA on Windows, standard error on POSIX when the
// environment variable KVTLNK_DEBUG is set.
void platformSink(const char* text);

// The diagnostics of one program's end of the link, and of the library's calls: a sink, and how
// much goes to it. The level is that of KVTLNK_DEBUG, read at each line (an application may set
// it after the library is loaded), unless the trace was made with a level of its own.
struct Trace {
    static constexpr int kLevelFromEnvironment = -1;

    DebugSink sink = &platformSink;
    int level = kLevelFromEnvironment;

    // Whether lines of the given level are wanted: 2 the exchanges, 3 also the calls.
    bool shows(int wanted) const;

    // The serial driver's text: formats (at most 4096 bytes), turns a final "\n" into "\r\n"
    // and hands it to the sink, at every level (the platform's sink decides for itself).
    void text(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // The system call that failed and why: "<call>: <error text>" (errno's text, or the given
    // reason when err is 0).
    void callFailure(const char* call, int err, const char* reason = "no error code") const;

    // From level 2: one line per event of an exchange with the calibrator ("> ma p,14,0,14",
    // "< 0", "time-out", "link up"), stamped with the milliseconds since the process's first
    // such line. The packet's bytes follow the event when given, printable ones as they are and
    // others as \xNN.
    void exchange(const char* event, const uint8_t* bytes = nullptr, uint32_t n = 0) const;
};

}  // namespace kvtlnk
