#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "propkt/debug_trace.h"
#include "propkt/serial_line.h"

#if !defined(_WIN32)
#include "propkt/posix_calls.h"
#endif

namespace kvtlnk {

// The n of a port name "COMn" (any case; n from 1, no leading zero, at most 5 digits); 0 for
// any other name.
unsigned comPortNumber(const std::string& name);

// The device a port name opens: "COMn" is /dev/ttySn-1 on POSIX and \\.\COMn on Windows;
// any other name is taken as it is (a device path, a pty, a symlink).
std::string devicePathFor(const std::string& portName);

// The text of the port's error report: the error bits, then the bytes left in the input and
// output queues, each only when not 0 ("" when all three are 0).
std::string commErrorText(uint32_t errorMask, uint32_t inQueue, uint32_t outQueue);

#if defined(_WIN32)
// The Win32 port calls the system itself: there are no calls to give it in place of the real ones.
struct SystemCalls {};
#else
using SystemCalls = PosixCalls;
#endif
// The operating system's own calls.
const SystemCalls& systemCalls();

// The library's serial port: opened for exclusive use with 8 data bits, no parity, one stop
// bit, no flow control, DTR and RTS not driven; every read waits at most readTimeoutMs for
// each byte (0 waits for ever). It calls the system through the calls it is given and traces
// its failures to the trace it is given.
class SerialPort : public SerialLine {
  public:
    static constexpr uint32_t kDefaultReadTimeoutMs = 500;
    static constexpr uint32_t kDefaultBaud = 9600;

    explicit SerialPort(const SystemCalls& calls = systemCalls(), const Trace& trace = Trace{});
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    void setReadTimeout(uint32_t ms) { readTimeoutMs_ = ms; }
    // Stores the baud rate of the next open: 1200, 2400, 4800, 9600, 19200, 38400, or 0 for
    // 9600; false, and nothing stored, for any other rate.
    bool setBaud(uint32_t baud);

    bool open(const char* portName);
    bool isOpen() const;
    uint16_t read(uint8_t* data, uint16_t count) override;
    uint16_t write(const uint8_t* data, uint16_t count) override;
    void purgeAll() override;
    void expect(uint16_t bytes) override;
    bool gone() const override;
    // Lets written bytes leave first (bounded), restores the line's former settings, closes.
    bool close();

    const Trace& trace() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
    uint32_t readTimeoutMs_ = kDefaultReadTimeoutMs;
    uint32_t baud_ = kDefaultBaud;
};

}  // namespace kvtlnk
