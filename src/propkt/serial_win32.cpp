#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "propkt/debug_trace.h"
#include "propkt/serial_port.h"

namespace kvtlnk {

namespace {

constexpr DWORD kInputQueue = 1024;
constexpr DWORD kOutputQueue = 20480;

constexpr DWORD kTxAbort = 0x01;
constexpr DWORD kRxAbort = 0x02;
constexpr DWORD kTxClear = 0x04;
constexpr DWORD kRxClear = 0x08;

// Time allowed at close for written bytes to leave, beyond what they need at the baud rate.
constexpr DWORD kDrainMarginMs = 500;
constexpr DWORD kDrainPollMs = 10;

}  // namespace

// COM10 and above only open through the device namespace; it serves COM1-COM9 as well.
std::string devicePathFor(const std::string& portName) {
    return comPortNumber(portName) != 0 ? "\\\\.\\" + portName : portName;
}

const SystemCalls& systemCalls() {
    static const SystemCalls none;
    return none;
}

struct SerialPort::Impl {
    explicit Impl(const Trace& t) : trace(t) {}

    Trace trace;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB dcb{};
    DWORD lastError = 0;
    bool gone = false;  // the driver no longer answers for the handle: the adapter was removed
    COMSTAT status{};
    // Bytes that the driver had queued at a read were read with it and wait here to be handed
    // out; nothing is read ahead that was not already there.
    uint8_t ahead[1024];
    DWORD next = 0;
    DWORD end = 0;

    // Forgets what was read ahead and what the driver last reported queued.
    void dropInput() {
        next = end = 0;
        status.cbInQue = 0;
    }

    // Reads and clears the port's error bits and fills the queue counts.
    bool queryStatus() {
        lastError = 0;
        status = COMSTAT{};
        const bool answered = ClearCommError(handle, &lastError, &status) != 0;
        gone = gone || !answered;
        return answered;
    }

    // Reports the error bits and the bytes left in the queues, and purges: the transmit side
    // always, the receive side after an overflow.
    void commErrorReport() {
        std::string text = commErrorText(lastError, status.cbInQue, status.cbOutQue);
        if (lastError & CE_RXOVER) {
            PurgeComm(handle, kRxAbort | kRxClear);
            status.cbInQue = 0;
        }
        PurgeComm(handle, kTxAbort | kTxClear);
        trace.text("%s", text.c_str());
    }
};

SerialPort::SerialPort(const SystemCalls&, const Trace& trace)
    : impl_(std::make_unique<Impl>(trace)) {}

SerialPort::~SerialPort() {
    close();
}

const Trace& SerialPort::trace() const {
    return impl_->trace;
}

bool SerialPort::isOpen() const {
    return impl_->handle != INVALID_HANDLE_VALUE;
}

bool SerialPort::open(const char* portName) {
    close();
    Impl& p = *impl_;
    p.gone = false;
    std::string path = devicePathFor(portName != nullptr ? portName : "");
    p.handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (p.handle == INVALID_HANDLE_VALUE) {
        p.trace.text("OpenComm failed\n");
        return false;
    }
    SetupComm(p.handle, kInputQueue, kOutputQueue);

    // 8N1 in binary mode; every flow control, DTR, RTS, replacement and abort bit left at 0.
    std::memset(&p.dcb, 0, sizeof p.dcb);
    p.dcb.DCBlength = sizeof p.dcb;
    p.dcb.BaudRate = baud_;
    p.dcb.ByteSize = 8;
    p.dcb.Parity = NOPARITY;
    p.dcb.StopBits = ONESTOPBIT;
    p.dcb.fBinary = TRUE;
    if (!SetCommState(p.handle, &p.dcb)) {
        // The handle stays until the next open or close.
        p.trace.text("SetCommState failed\n");
        p.queryStatus();
        p.commErrorReport();
        return false;
    }
    PurgeComm(p.handle, kTxAbort | kRxAbort | kTxClear | kRxClear);
    p.dropInput();
    return true;
}

uint16_t SerialPort::read(uint8_t* data, uint16_t count) {
    Impl& p = *impl_;
    if (count == 0) {
        p.dropInput();
        PurgeComm(p.handle, kRxAbort | kRxClear);
        return 0;
    }
    DWORD got = std::min<DWORD>(count, p.end - p.next);
    std::memcpy(data, p.ahead + p.next, got);
    p.next += got;
    if (got == count) return count;

    // Waits at most readTimeoutMs for the first byte and between bytes (0 means no time-out).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = readTimeoutMs_;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = readTimeoutMs_;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(p.handle, &timeouts);

    // Asking for more than has arrived would hold the read for the whole time-out, so only the
    // bytes the last status query counted in the driver's queue are read ahead with those the
    // caller needs; they come at once.
    const DWORD need = count - got;
    const DWORD queued = std::min<DWORD>(p.status.cbInQue, sizeof p.ahead);
    DWORD n = 0;
    if (queued > need) {
        ReadFile(p.handle, p.ahead, queued, &n, nullptr);  // only the count matters
        p.next = std::min(n, need);
        p.end = n;
        std::memcpy(data + got, p.ahead, p.next);
    } else {
        ReadFile(p.handle, data + got, need, &n, nullptr);
        p.next = p.end = 0;
    }
    p.queryStatus();
    if (p.lastError != 0) {
        p.trace.text("ReadComm failed, read %d bytes\n", static_cast<int>(n));
        p.commErrorReport();
    }
    return static_cast<uint16_t>(got + std::min(n, need));
}

bool SerialPort::gone() const {
    return impl_->handle != INVALID_HANDLE_VALUE && impl_->gone;
}

// The driver's receive FIFO gathers the bytes; what it holds is read ahead as a whole.
void SerialPort::expect(uint16_t) {}

uint16_t SerialPort::write(const uint8_t* data, uint16_t count) {
    Impl& p = *impl_;
    DWORD written = 0;
    if (!WriteFile(p.handle, data, count, &written, nullptr)) {
        p.trace.text("WriteComm failed after %d bytes\n", static_cast<int>(written));
    }
    p.queryStatus();
    if (p.lastError != 0) p.commErrorReport();
    return static_cast<uint16_t>(written);
}

void SerialPort::purgeAll() {
    impl_->dropInput();
    if (isOpen()) PurgeComm(impl_->handle, kTxAbort | kRxAbort | kTxClear | kRxClear);
}

bool SerialPort::close() {
    Impl& p = *impl_;
    if (p.handle == INVALID_HANDLE_VALUE) return true;
    // Let written bytes leave, but give up when the queue stops draining (an adapter that
    // vanished can stop reporting) so that close cannot hang.
    if (p.queryStatus() && p.status.cbOutQue > 0) {
        DWORD bound = kDrainMarginMs + p.status.cbOutQue * 10000u / (baud_ != 0 ? baud_ : 9600);
        DWORD start = GetTickCount();
        while (p.status.cbOutQue > 0 && GetTickCount() - start < bound) {
            Sleep(kDrainPollMs);
            if (!p.queryStatus()) break;
        }
    }
    bool closed = CloseHandle(p.handle) != 0;
    p.handle = INVALID_HANDLE_VALUE;
    p.dropInput();
    return closed;
}

}  // namespace kvtlnk
