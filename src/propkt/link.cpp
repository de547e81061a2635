#include "propkt/link.h"

#include <cctype>
#include <cstdio>
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

// An exchange that failed, in the exchange trace: the event, and why ("event: why"); a port
// whose device is gone says so in place of the usual reason.
void traceFailure(PacketPort& port, const char* event, const char* why = nullptr) {
    if (port.line().gone())
        why = "the device behind the port is gone (unplugged?); no further attempts";
    if (why == nullptr) {
        port.trace().exchange(event);
        return;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s: %s", event, why);
    port.trace().exchange(line);
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
    traceFailure(port, "not acknowledged");
    return PktOutcome::Failed;
}

PktReceived pkt_receive(PacketPort& port, uint8_t* buffer, uint16_t capacity) {
    PacketBuffer packet(buffer, buffer != nullptr ? capacity : 0);
    if (!port.receive(packet)) {
        traceFailure(port, "no reply");
        return {PktOutcome::Failed, 0};
    }
    port.trace().exchange("<", buffer, packet.size());
    return {PktOutcome::Done, packet.size()};
}

bool linkConnect(PacketPort& port) {
    port.line().purgeAll();
    if (port.connect()) {
        port.trace().exchange("link up");
        return true;
    }
    traceFailure(port, "link not up", "no answer to the connect request");
    return false;
}

}  // namespace kvtlnk
