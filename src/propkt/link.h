#pragma once

#include <cstdint>
#include <optional>

#include "propkt/ptalklib.h"
#include "propkt/serial_port.h"

namespace kvtlnk {

// What opening the link gives.
enum class LinkOpen {
    Opened,
    BadBaud,     // a rate outside the accepted list; the port was not touched
    PortFailed,  // the port could not be opened or configured
};

// One end of the packet link as a program holds it: its serial port, and the packet port made
// on that port from open to close, in the role the link was opened in, tracing where the serial
// port traces.
class Link {
  public:
    explicit Link(SerialPort& serial) : serial_(serial) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    SerialPort& serial() { return serial_; }
    // The packet port while the link is open; none before the first open and after close.
    PacketPort* port() { return port_ ? &*port_ : nullptr; }

    // Checks and stores the baud rate, closes the serial port and drops the packet port without
    // an exchange, then opens the serial port on the device ("COM1" when none is named) and
    // makes a fresh packet port of the role on it.
    LinkOpen open(uint32_t baud, const char* portName, PortRole role);
    // A master takes the link down first; then the packet port goes and the serial port closes.
    // The serial port's close result.
    bool close();

  private:
    SerialPort& serial_;
    std::optional<PacketPort> port_;
};

// Sends one packet over the port: 0 when it was acknowledged; 1 without data, 2 for a length of
// 0, 3 for a length above PACKET_SIZE, all three without touching the line; 4 when the exchange
// failed.
uint32_t pkt_send(PacketPort& port, const uint8_t* data, uint16_t length);

// Receives one packet into the buffer: its length (at most capacity), or kReceiveFailed.
constexpr uint32_t kReceiveFailed = 0xFFFFFFFFu;
uint32_t pkt_receive(PacketPort& port, uint8_t* buffer, uint16_t capacity);

// Brings the link up from a clean line: both queues purged, then the connect exchange.
bool linkConnect(PacketPort& port);

}  // namespace kvtlnk
