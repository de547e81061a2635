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

// What became of a packet given to pkt_send, or what pkt_receive brought.
enum class PktOutcome : uint8_t {
    Done,      // the packet was acknowledged, or a packet arrived
    NoData,    // pkt_send without data: the line was not touched
    NoLength,  // pkt_send of 0 bytes: idem
    TooLong,   // pkt_send of more than PACKET_SIZE bytes: idem
    Failed,    // the exchange failed: no acknowledgement, or no packet
};

// Sends one packet over the port. A failure is traced with its reason where the port knows
// it: the device behind the port is gone.
PktOutcome pkt_send(PacketPort& port, const uint8_t* data, uint16_t length);

// Receives one packet into the buffer: Done with its length (at most capacity), or Failed.
struct PktReceived {
    PktOutcome outcome;
    uint16_t size;
    bool arrived() const { return outcome == PktOutcome::Done; }
};
PktReceived pkt_receive(PacketPort& port, uint8_t* buffer, uint16_t capacity);

// Brings the link up from a clean line: both queues purged, then the connect exchange.
bool linkConnect(PacketPort& port);

}  // namespace kvtlnk
