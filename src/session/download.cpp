// Download: the image's procedure memory goes to the calibrator record by record.
#include <cstdio>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/record_layout.h"
#include "propkt/link.h"
#include "session/command.h"
#include "session/session_calls.h"
#include "support/byte_order.h"

namespace kvtlnk {

namespace {

// A record's data goes out in blocks: "mbp", the block length (16 bits), the record's index
// and the block's offset (32 bits each, big-endian), then at most 115 data bytes.
constexpr uint32_t kBlockData = 115;
constexpr uint32_t kBlockHeader = 13;

// The block of the record's data from offset on; returns the packet's length.
uint16_t dataBlock(const Record& record, int32_t index, uint32_t offset,
                   uint8_t (&out)[kBlockHeader + kBlockData]) {
    if (offset >= record.length()) return 0;
    const uint32_t left = record.length() - offset;
    const uint16_t n = static_cast<uint16_t>(left < kBlockData ? left : kBlockData);
    out[0] = 'm';
    out[1] = 'b';
    out[2] = 'p';
    storeU16(out + 3, n);
    storeU32(out + 5, static_cast<uint32_t>(index));
    storeU32(out + 9, offset);
    std::memcpy(out + kBlockHeader, record.data() + offset, n);
    return static_cast<uint16_t>(kBlockHeader + n);
}

// Whether the firmware level takes every record of the procedure memory: 0 or 2005.
uint32_t firmwareCheck(int32_t firmwareLevel, const RecordStore& procedure) {
    if (firmwareLevel == 1) return KVTLNK_OK;
    for (int32_t i = 0; i < procedure.count(); ++i) {
        const Record* r = procedure.selectRecord(i);
        if (firmwareLevel != 0) return KVTLNK_E_NOT_ACCEPTED;
        if (isSetupKind(r->kind()) && r->version() != 0) return KVTLNK_E_NOT_ACCEPTED;
    }
    return KVTLNK_OK;
}

// "ma p,kind,version,length" (a record without data is announced with length 1) and its
// one-line reply: the index the calibrator gave the new item.
uint32_t allocateItem(PacketPort& port, const Record& record, int32_t index) {
    char command[64];
    std::snprintf(command, sizeof command, "ma p,%d,%d,%lu", record.kind(), record.version(),
                  static_cast<unsigned long>(record.length() == 0 ? 1 : record.length()));
    Reply reply(port, kLongLine);
    if (uint32_t r = reply.begin(command)) return r;
    ReplyLine line;
    if (uint32_t r = reply.next(line)) return r;
    if (line.asNumber() != index) return KVTLNK_E_BAD_REPLY;
    return reply.end();
}

uint32_t sendBlocks(SessionState& s, PacketPort& port, const Record& record, int32_t index) {
    uint8_t block[kBlockHeader + kBlockData];
    for (uint32_t offset = 0; offset < record.length(); offset += kBlockData) {
        const uint16_t length = dataBlock(record, index, offset, block);
        if (uint32_t r = sendCommand(s, port, block, length)) return r;
    }
    return KVTLNK_OK;
}

}  // namespace

uint32_t downloadStart(SessionState& s, PacketPort& port, const MemoryImage& image,
                       uint32_t* itemCount) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (itemCount == nullptr) return KVTLNK_E_ARGUMENT;
    *itemCount = 0;
    if (uint32_t r = ensureLink(s, port)) return r;
    if (uint32_t r = firmwareCheck(s.firmwareLevel, image.procedure())) return r;

    if (uint32_t r = sendCommand(s, port, "ds")) return r;
    if (uint32_t r = restartLink(s, port)) return r;
    sendStatusText(s, port, "Clearing Task Memory");  // only a courtesy to the display
    if (uint32_t r = sendCommand(s, port, "mc p")) return r;

    s.procedureItemCount = image.procedure().count();
    s.transferStep = 0;
    *itemCount = static_cast<uint32_t>(s.procedureItemCount);
    return KVTLNK_OK;
}

uint32_t downloadStep(SessionState& s, PacketPort& port, const MemoryImage& image,
                      uint32_t* remaining) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (remaining == nullptr) return KVTLNK_E_ARGUMENT;
    *remaining = 0;
    const int32_t i = s.transferStep;
    const char* first = "Downloading %lld items to K27 Memory";
    if (uint32_t r = sendProgress(s, port, first, i, s.procedureItemCount)) return r;

    // Only the records counted at the start belong to this download.
    const Record* record = i < s.procedureItemCount ? image.procedure().selectRecord(i) : nullptr;
    if (record == nullptr) return KVTLNK_E_ARGUMENT;
    if (uint32_t r = allocateItem(port, *record, i)) return r;
    if (uint32_t r = sendBlocks(s, port, *record, i)) return r;

    s.transferStep = i + 1;
    *remaining = static_cast<uint32_t>(s.procedureItemCount - s.transferStep);
    if (*remaining != 0) return KVTLNK_OK;
    if (uint32_t r = sendStatusText(s, port, "Clearing Results Memory")) return r;
    return sendCommand(s, port, "mc r");
}

uint32_t clearProcedures(SessionState& s, PacketPort& port) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (uint32_t r = ensureLink(s, port)) return r;
    if (uint32_t r = sendCommand(s, port, "mc p")) return r;
    if (uint32_t r = sendCommand(s, port, "ds")) return r;
    return restartLink(s, port);
}

}  // namespace kvtlnk
