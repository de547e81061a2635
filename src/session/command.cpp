#include "session/command.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "propkt/debug_trace.h"
#include "propkt/link.h"

namespace kvtlnk {

namespace {

constexpr char kStatusPrefix[] = "sf link,";
constexpr size_t kStatusPrefixLength = sizeof kStatusPrefix - 1;
constexpr size_t kStatusTextMax = kStatusCommandMax - kStatusPrefixLength;  // 247

uint32_t tryCommand(PacketPort& port, const uint8_t* bytes, uint16_t length) {
    if (pkt_send(port, bytes, length) != 0) return KVTLNK_E_SEND;
    if (uint32_t r = receiveStatus(port, kLongLine)) return r;
    return receiveFinal(port);
}

bool isBlank(uint8_t b) {
    return b == ' ' || b == '\t';
}

}  // namespace

bool ensureLink(SessionState& session, PacketPort& port) {
    if (session.linkEstablished == 0 && !linkConnect(port)) return false;
    if (!port.isUp() && !linkConnect(port)) return false;
    session.linkEstablished = 1;
    return true;
}

uint32_t sendCommand(SessionState& session, PacketPort& port, const uint8_t* bytes,
                     uint16_t length) {
    if (!ensureLink(session, port)) return KVTLNK_E_NO_LINK;
    uint32_t result = tryCommand(port, bytes, length);
    if (result != KVTLNK_OK && port.isUp()) result = tryCommand(port, bytes, length);
    return result;
}

uint32_t sendCommand(SessionState& session, PacketPort& port, const char* text) {
    return sendCommand(session, port, reinterpret_cast<const uint8_t*>(text),
                       static_cast<uint16_t>(std::strlen(text)));
}

uint32_t sendText(PacketPort& port, const char* text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    return pkt_send(port, bytes, static_cast<uint16_t>(std::strlen(text))) == 0 ? KVTLNK_OK
                                                                                : KVTLNK_E_SEND;
}

uint16_t statusCommand(const char* text, char (&out)[kStatusCommandMax]) {
    std::memcpy(out, kStatusPrefix, kStatusPrefixLength);
    size_t n = 0;
    if (text != nullptr) {
        while (n < kStatusTextMax && text[n] != '\0' && text[n] != '\r' && text[n] != '\n') {
            out[kStatusPrefixLength + n] = text[n] == ',' ? '|' : text[n];
            ++n;
        }
    }
    // "sf link" without its comma when there is nothing to show.
    return static_cast<uint16_t>(n == 0 ? kStatusPrefixLength - 1 : kStatusPrefixLength + n);
}

uint32_t sendStatusText(SessionState& session, PacketPort& port, const char* text) {
    char command[kStatusCommandMax];
    const uint16_t length = statusCommand(text, command);
    return sendCommand(session, port, reinterpret_cast<const uint8_t*>(command), length);
}

uint32_t sendProgress(SessionState& session, PacketPort& port, const char* firstText, int32_t step,
                      int64_t total) {
    char text[64];
    if (step == 0) {
        std::snprintf(text, sizeof text, firstText, static_cast<long long>(total));
    } else if (step % 5 == 0) {
        std::snprintf(text, sizeof text, "%d of %lld", static_cast<int>(step),
                      static_cast<long long>(total));
    } else {
        return KVTLNK_OK;
    }
    return sendStatusText(session, port, text);
}

bool restartLink(SessionState& session, PacketPort& port) {
    port.disconnect();
    port.trace().exchange("link down for a restart; up again after a second");
    session.linkEstablished = 0;
    session.waitSeconds(1);
    return ensureLink(session, port);
}

bool nextField(PacketBuffer& reader, char* out, size_t outSize) {
    uint8_t b = 0;
    do {
        if (!reader.takeByte(&b)) {
            if (outSize > 0) out[0] = '\0';
            return false;
        }
    } while (isBlank(b));
    size_t n = 0;
    for (;;) {
        if (b == ',') break;
        if (n + 1 < outSize) out[n++] = static_cast<char>(b == '|' ? ',' : b);
        if (!reader.takeByte(&b)) break;
    }
    if (outSize > 0) out[n] = '\0';
    return true;
}

int32_t readDecimal(const char* field) {
    const char* p = field;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
    }
    if (negative) return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

uint32_t receiveStatus(PacketPort& port, uint16_t capacity) {
    uint8_t status[kLongLine];
    const uint32_t n = pkt_receive(port, status, capacity < kLongLine ? capacity : kLongLine);
    if (n == kReceiveFailed) return KVTLNK_E_NO_REPLY;
    return n == 1 && status[0] == '0' ? KVTLNK_OK : KVTLNK_E_REFUSED;
}

uint32_t receiveFinal(PacketPort& port) {
    // Room for a whole line, so that a data line where the 0x04 belongs is taken and reported
    // as a malformed reply rather than overflowing and timing out.
    uint8_t final[kLongLine];
    const uint32_t n = pkt_receive(port, final, sizeof final);
    if (n == kReceiveFailed) return KVTLNK_E_NO_REPLY;
    return n == 1 && final[0] == kEndOfReply ? KVTLNK_OK : KVTLNK_E_BAD_REPLY;
}

uint32_t ReplyLine::receive(PacketPort& port, uint16_t capacity) {
    const uint16_t room = capacity < kLongLine ? capacity : kLongLine;
    const uint32_t n = pkt_receive(port, bytes_, room);
    if (n == kReceiveFailed) return KVTLNK_E_NO_REPLY;
    reader_.makeFilled(bytes_, kLongLine, static_cast<uint16_t>(n < room ? n : room));
    return KVTLNK_OK;
}

void ReplyLine::assign(const uint8_t* bytes, uint32_t n) {
    const uint16_t size = static_cast<uint16_t>(n < kLongLine ? n : kLongLine);
    std::memcpy(bytes_, bytes, size);
    reader_.makeFilled(bytes_, kLongLine, size);
}

int32_t ReplyLine::asNumber() const {
    char text[kLongLine + 1];
    std::memcpy(text, bytes_, reader_.size());
    text[reader_.size()] = '\0';
    return readDecimal(text);
}

bool ReplyLine::skip(int n) {
    char scratch[1];
    for (int i = 0; i < n; ++i) {
        if (!field(scratch, sizeof scratch)) return false;
    }
    return true;
}

bool ReplyLine::number(int32_t* value) {
    char text[kLongLine + 1];
    if (!field(text, sizeof text)) return false;
    *value = readDecimal(text);
    return true;
}

}  // namespace kvtlnk
