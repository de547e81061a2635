#include "propkt/link.h"

#include <cctype>
#include <cstring>
#include <string>

#include "propkt/debug_trace.h"

namespace kvtlnk {

namespace {

// "COM" (any case) and digits, but no port number: "COM0", "COM012", "COM12345678". Taken as a
// path, such a name would open a file of that name in the current directory.
bool isBadComName(const char* name) {
    if (std::strlen(name) < 4 || comPortNumber(name) != 0) return false;
    for (size_t i = 0; name[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (i < 3 ? std::toupper(c) != "COM"[i] : !std::isdigit(c)) return false;
    }
    return true;
}

// Why an exchange failed, as the packet calls report it.
PktOutcome failure(PacketPort& port) {
    return port.line().gone() ? PktOutcome::LineGone : PktOutcome::Failed;
}

}  // namespace

LinkOpen Link::open(uint32_t baud, const char* portName, PortRole role) {
    if (!serial_.setBaud(baud)) return LinkOpen::BadBaud;
    serial_.close();
    port_.reset();
    const char* name = portName != nullptr && *portName != '\0' ? portName : "COM1";
    if (isBadComName(name)) {
        serial_.trace().text("OpenComm failed\n");  // as the port reports a name it cannot open
        return LinkOpen::PortFailed;
    }
    if (!serial_.open(name)) return LinkOpen::PortFailed;
    port_.emplace(serial_, role, serial_.trace());
    return LinkOpen::Opened;
}

bool Link::close() {
    if (port_ && port_->role() == PortRole::Master) port_->disconnect();
    port_.reset();
    return serial_.close();
}

PktOutcome pkt_send(PacketPort& port, const uint8_t* data, uint16_t length) {
    if (data == nullptr) return PktOutcome::NoData;
    if (length == 0) return PktOutcome::NoLength;
    if (length > PACKET_SIZE) return PktOutcome::TooLong;
    PacketBuffer packet(const_cast<uint8_t*>(data), length, length);
    port.trace().exchange(">", data, length);
    if (port.send(packet)) return PktOutcome::Done;
    port.trace().exchange("not acknowledged");
    return failure(port);
}

PktReceived pkt_receive(PacketPort& port, uint8_t* buffer, uint16_t capacity) {
    PacketBuffer packet(buffer, buffer != nullptr ? capacity : 0);
    if (!port.receive(packet)) {
        port.trace().exchange("no reply");
        return {failure(port), 0};
    }
    port.trace().exchange("<", buffer, packet.size());
    return {PktOutcome::Done, packet.size()};
}

bool linkConnect(PacketPort& port) {
    port.line().purgeAll();
    const bool up = port.connect();
    port.trace().exchange(up ? "link up" : "link not up: no answer to the connect request");
    return up;
}

}  // namespace kvtlnk
