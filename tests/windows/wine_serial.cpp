// The Win32 serial port under wine, on a line where nothing arrives: wine_serial PORT
// A one-byte read gives up after the read time-out (not at once, not much later); a port that
// does not exist is refused with its diagnostic.
#include <windows.h>

#include <cstdio>
#include <string>

#include "propkt/debug_trace.h"
#include "propkt/serial_port.h"

namespace {

std::string gTrace;

double milliseconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int failures = 0;
    kvtlnk::SerialPort port;
    if (!port.open(argv[1])) {
        std::printf("%s does not open\n", argv[1]);
        return 1;
    }
    for (uint32_t timeout : {150u, 600u}) {
        port.setReadTimeout(timeout);
        uint8_t byte = 0;
        const double start = milliseconds();
        const uint16_t got = port.read(&byte, 1);
        const double elapsed = milliseconds() - start;
        const bool ok = got == 0 && elapsed >= timeout - 1.0 && elapsed < timeout + 1500.0;
        std::printf("read time-out %u ms: %u bytes after %.1f ms%s\n", timeout, got, elapsed,
                    ok ? "" : "  <-- wrong");
        failures += ok ? 0 : 1;
    }
    failures += port.read(nullptr, 0) == 0 && port.close() ? 0 : 1;

    const kvtlnk::Trace trace{[](const char* text) { gTrace += text; }};
    kvtlnk::SerialPort missing(kvtlnk::systemCalls(), trace);
    if (missing.open("COM42") || missing.isOpen() || gTrace != "OpenComm failed\r\n") {
        std::printf("COM42 opened, or traced \"%s\"\n", gTrace.c_str());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
