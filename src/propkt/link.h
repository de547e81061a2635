#pragma once

#include <cstdint>

#include "propkt/ptalklib.h"
#include "propkt/serial_port.h"

namespace kvtlnk {

// The process's serial port and its one packet port, as the session uses them.
SerialPort& theSerialPort();
PacketPort* PKTportMASTER();  // the port while the link was opened in the master role
PacketPort* PKTportSLAVE();   // the port while the link was opened in the slave role

// linkOpen outcomes.
constexpr int LINK_OPENED = 0;
constexpr int LINK_BAD_BAUD = 1;
constexpr int LINK_PORT_FAILED = 3;

int linkOpen(uint32_t baud, const char* portName, PortRole role);
bool linkClose();
bool linkConnect();
bool linkDisconnect();
bool linkIsUp();
void linkSetAttempts(int32_t n);

// pkt_send: 0 acknowledged, 1 null data, 2 length 0, 3 longer than PACKET_SIZE, 4 no port or
// the exchange failed. pkt_receive: the packet's length (at most capacity), or 0xFFFFFFFF.
constexpr uint32_t PKT_RECEIVE_FAILED = 0xFFFFFFFFu;
uint32_t pkt_send(const uint8_t* data, uint16_t length);
uint32_t pkt_receive(uint8_t* buffer, uint16_t capacity);

}  // namespace kvtlnk
