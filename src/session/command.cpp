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

bool isBlank(uint8_t b) {
    return b == ' ' || b == '\t';
}

}  // namespace

uint32_t ensureLink(SessionState& session, PacketPort& port) {
    if ((session.linkEstablished == 0 || !port.isUp()) && !linkConnect(port)) {
        return KVTLNK_E_NO_LINK;
    }
    session.linkEstablished = 1;
    return KVTLNK_OK;
}

uint32_t sendCommand(SessionState& session, PacketPort& port, const uint8_t* bytes,
                     uint16_t length) {
    if (uint32_t r = ensureLink(session, port)) return r;
    return exchange(port, bytes, length, Limits{kLongLine, true});
}

uint32_t sendCommand(SessionState& session, PacketPort& port, const char* text) {
    return sendCommand(session, port, reinterpret_cast<const uint8_t*>(text),
                       static_cast<uint16_t>(std::strlen(text)));
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

uint32_t restartLink(SessionState& session, PacketPort& port) {
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

uint32_t Reply::begin(const uint8_t* bytes, uint16_t length) {
    if (pkt_send(port_, bytes, length) != PktOutcome::Done) return KVTLNK_E_SEND;
    ReplyLine status;
    if (uint32_t r = next(status)) return r;
    return status.size() == 1 && status.bytes()[0] == '0' ? KVTLNK_OK : KVTLNK_E_REFUSED;
}

uint32_t Reply::begin(const char* command) {
    return begin(reinterpret_cast<const uint8_t*>(command),
                 static_cast<uint16_t>(std::strlen(command)));
}

uint32_t Reply::next(ReplyLine& line) {
    return take(line, room_);
}

uint32_t Reply::end() {
    ReplyLine final;
    if (uint32_t r = take(final, kLongLine)) return r;
    return final.isEndOfReply() ? KVTLNK_OK : KVTLNK_E_BAD_REPLY;
}

void Reply::skipRest(int lines) {
    ReplyLine line;
    for (int i = 0; i <= lines; ++i) {
        if (take(line, kLongLine) != KVTLNK_OK || line.isEndOfReply()) return;
    }
}

uint32_t Reply::take(ReplyLine& line, uint16_t room) {
    const PktReceived got = pkt_receive(port_, line.bytes_, room);
    if (!got.arrived()) return KVTLNK_E_NO_REPLY;
    line.reader_.makeFilled(line.bytes_, kLongLine, got.size);
    return KVTLNK_OK;
}

uint32_t exchange(PacketPort& port, const uint8_t* command, uint16_t length, const Limits& limits,
                  ReplyLine* lines, int count) {
    auto once = [&] {
        Reply reply(port, limits.room);
        if (uint32_t r = reply.begin(command, length)) return r;
        for (int i = 0; i < count; ++i) {
            if (uint32_t r = reply.next(lines[i])) return r;
        }
        return reply.end();
    };
    const uint32_t r = once();
    return r != KVTLNK_OK && limits.retry && port.isUp() ? once() : r;
}

uint32_t exchange(PacketPort& port, const char* command, const Limits& limits, ReplyLine* lines,
                  int count) {
    return exchange(port, reinterpret_cast<const uint8_t*>(command),
                    static_cast<uint16_t>(std::strlen(command)), limits, lines, count);
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
