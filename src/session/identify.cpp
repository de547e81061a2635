// Who the calibrator is, and how full its memories are.
#include "kvtlnk/kvtlnk.h"
#include "propkt/link.h"
#include "session/command.h"
#include "session/session_calls.h"

namespace kvtlnk {

namespace {

constexpr Limits kQuery{kShortLine};

void clearText(char* text, size_t size) {
    if (size > 0) text[0] = '\0';
}

uint32_t identification(PacketPort& port, const Identity& id, uint32_t* edValue) {
    ReplyLine line;
    if (uint32_t r = exchange(port, "id", kQuery, &line, 1)) return r;
    if (!line.field(id.model, id.modelSize) ||
        !line.field(id.firmwareVersion, id.firmwareVersionSize) ||
        !line.field(id.ident3, id.ident3Size)) {
        return KVTLNK_E_BAD_REPLY;
    }

    if (uint32_t r = exchange(port, "ed", kQuery, &line, 1)) return r;
    int32_t value = 0;
    if (!line.skip(8) || !line.number(&value)) return KVTLNK_E_BAD_REPLY;
    *edValue = static_cast<uint32_t>(value);
    return KVTLNK_OK;
}

}  // namespace

uint32_t itemCounts(PacketPort& port, int32_t* procItems, int32_t* resultItems) {
    ReplyLine lines[2];
    if (uint32_t r = exchange(port, "ms", kQuery, lines, 2)) return r;
    // Field 6 of each line, as the calibrator sent it: what it means is the upload's concern.
    if (!lines[0].skip(5) || !lines[0].number(procItems)) return KVTLNK_E_BAD_REPLY;
    if (!lines[1].skip(5) || !lines[1].number(resultItems)) return KVTLNK_E_BAD_REPLY;
    return KVTLNK_OK;
}

uint32_t getK2x(SessionState& s, PacketPort& port, const Identity& id, uint32_t* edValue,
                uint32_t* procItems, uint32_t* resultItems) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (id.model == nullptr || id.ident3 == nullptr || id.firmwareVersion == nullptr ||
        edValue == nullptr || procItems == nullptr || resultItems == nullptr) {
        return KVTLNK_E_ARGUMENT;
    }
    clearText(id.model, id.modelSize);
    clearText(id.ident3, id.ident3Size);
    clearText(id.firmwareVersion, id.firmwareVersionSize);
    *edValue = *procItems = *resultItems = 0;

    if (uint32_t r = ensureLink(s, port)) return r;
    if (uint32_t r = sendStatusText(s, port, "Identifying K27")) return r;
    if (uint32_t r = identification(port, id, edValue)) return r;

    int32_t proc = 0;
    int32_t results = 0;
    const uint32_t r = itemCounts(port, &proc, &results);
    *procItems = static_cast<uint32_t>(proc);
    *resultItems = static_cast<uint32_t>(results);
    return r;
}

uint32_t memStats(SessionState& s, PacketPort& port, uint32_t* field3Total, uint32_t* field4Total) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (field3Total == nullptr || field4Total == nullptr) return KVTLNK_E_ARGUMENT;
    *field3Total = *field4Total = 0;

    if (uint32_t r = ensureLink(s, port)) return r;
    if (uint32_t r = sendStatusText(s, port, "Getting Memory Statistics")) return r;
    Reply reply(port, kShortLine);
    if (uint32_t r = reply.begin("ms")) return r;

    // One line per memory, as many as come before the final packet.
    for (;;) {
        ReplyLine line;
        if (uint32_t r = reply.next(line)) return r;
        if (line.isEndOfReply()) return KVTLNK_OK;
        int32_t field3 = 0;
        int32_t field4 = 0;
        if (!line.skip(2) || !line.number(&field3)) return KVTLNK_E_BAD_REPLY;
        *field3Total += static_cast<uint32_t>(field3);
        if (!line.number(&field4)) return KVTLNK_E_BAD_REPLY;
        *field4Total += static_cast<uint32_t>(field4);
    }
}

}  // namespace kvtlnk
