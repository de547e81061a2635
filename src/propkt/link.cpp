#include "propkt/link.h"

#include <memory>
#include <new>

namespace kvtlnk {

namespace {

// The process's one serial port and the packet port on it. The packet port refers to the serial
// port, so it is declared after it and goes first at unload.
struct Link {
    SerialPort serial;
    std::unique_ptr<PacketPort> master;
    std::unique_ptr<PacketPort> slave;
    PortRole role = PortRole::Master;

    PacketPort* current() const { return role == PortRole::Master ? master.get() : slave.get(); }
};

Link& theLink() {
    static Link link;
    return link;
}

}  // namespace

SerialPort& theSerialPort() {
    return theLink().serial;
}

PacketPort* PKTportMASTER() {
    return theLink().master.get();
}

PacketPort* PKTportSLAVE() {
    return theLink().slave.get();
}

int linkOpen(uint32_t baud, const char* portName, PortRole role) {
    Link& link = theLink();
    link.role = role;
    if (!link.serial.setBaud(baud)) return LINK_BAD_BAUD;
    link.serial.close();
    link.master.reset();
    link.slave.reset();
    if (!link.serial.open(portName != nullptr && *portName != '\0' ? portName : "COM1")) {
        return LINK_PORT_FAILED;
    }
    // Without a port object every later exchange fails, as on a dead line.
    std::unique_ptr<PacketPort> port(new (std::nothrow) PacketPort(link.serial, role));
    (role == PortRole::Master ? link.master : link.slave) = std::move(port);
    return LINK_OPENED;
}

bool linkClose() {
    Link& link = theLink();
    link.slave.reset();
    if (link.master) {
        link.master->disconnect();
        link.master.reset();
    }
    return link.serial.close();
}

bool linkConnect() {
    Link& link = theLink();
    link.serial.purgeAll();
    return link.master != nullptr && link.master->connect();
}

bool linkDisconnect() {
    Link& link = theLink();
    return link.master != nullptr && link.master->disconnect();
}

bool linkIsUp() {
    PacketPort* port = theLink().current();
    return port != nullptr && port->state() == LINK_UP;
}

void linkSetAttempts(int32_t n) {
    PacketPort* port = theLink().current();
    if (port != nullptr) port->setAttempts(static_cast<uint8_t>(n & 0xFF));
}

uint32_t pkt_send(const uint8_t* data, uint16_t length) {
    if (data == nullptr) return 1;
    if (length == 0) return 2;
    if (length > PACKET_SIZE) return 3;
    PacketPort* port = theLink().current();
    if (port == nullptr) return 4;
    PacketBuffer packet(const_cast<uint8_t*>(data), length, length);
    return port->send(packet) ? 0 : 4;
}

uint32_t pkt_receive(uint8_t* buffer, uint16_t capacity) {
    PacketPort* port = theLink().current();
    if (port == nullptr) return PKT_RECEIVE_FAILED;
    PacketBuffer packet(buffer, buffer != nullptr ? capacity : 0);
    return port->receive(packet) ? packet.size() : PKT_RECEIVE_FAILED;
}

}  // namespace kvtlnk
