// Upload: both calibrator memories come into the image, the directories first, then one
// item's data per step.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "propkt/link.h"
#include "session/command.h"
#include "session/session_calls.h"

namespace kvtlnk {

namespace {

// One directory line: index, kind, version, length, then year, month, day, weekday, hour,
// minute, second.
constexpr int kDirectoryFields = 11;

// An item as its directory line describes it: kind, version, length and date stamp, each
// number cut to the width of its place (a year to its byte after 1992 is taken off), so that
// whatever the calibrator's clock said is kept.
struct DirectoryItem {
    uint16_t kind;
    uint16_t version;
    uint16_t length;
    DateStamp stamp;
};

bool readDirectoryLine(ReplyLine& line, int32_t (&fields)[kDirectoryFields]) {
    for (int32_t& f : fields) {
        if (!line.number(&f)) return false;
    }
    return true;
}

// The low bits of a number as the calibrator sent it.
template <class Place>
Place cut(int32_t value, uint32_t offset = 0) {
    return static_cast<Place>(static_cast<uint32_t>(value) - offset);
}

DirectoryItem itemOf(const int32_t (&f)[kDirectoryFields]) {
    DirectoryItem item{cut<uint16_t>(f[1]), cut<uint16_t>(f[2]), cut<uint16_t>(f[3]), DateStamp{}};
    DateStamp& stamp = item.stamp;
    stamp.year = cut<uint8_t>(f[4], DateStamp::kBaseYear);
    stamp.month = cut<uint8_t>(f[5]);
    stamp.day = cut<uint8_t>(f[6]);
    stamp.weekday = cut<uint8_t>(f[7]);
    stamp.hour = cut<uint8_t>(f[8]);
    stamp.minute = cut<uint8_t>(f[9]);
    stamp.second = cut<uint8_t>(f[10]);
    return item;
}

// Creates the directory's item j in the store: kind, version, zeroed data, date stamp. 2012
// when the store cannot take it (it has reached its limit, or memory ran out).
uint32_t createItem(RecordStore& store, int32_t j, const DirectoryItem& item) {
    const int32_t index = store.beginRecord(item.kind, item.version);
    if (index < 0) return KVTLNK_E_IMAGE;
    if (index != j) return KVTLNK_E_DIRECTORY;
    uint8_t* data = store.reserveBytes(item.length);
    if (data == nullptr) return KVTLNK_E_IMAGE;
    std::memset(data, 0, item.length);
    store.endRecord();
    // The store keeps no record without data: an empty item does not land at its index.
    Record* record = store.selectRecord(j);
    if (record == nullptr) return KVTLNK_E_DIRECTORY;
    record->setStamp(item.stamp);
    return KVTLNK_OK;
}

// The directory's lines one by one, each item made as its line comes: nothing is made for a
// line that has not come, whatever count the calibrator gave. A line that is refused (a missing
// field, an index out of order, an item the store cannot take) ends the fetch with the items
// before it kept; the rest of the reply is taken first, so that the calibrator is not left
// part-way through its send and the next command's reply starts clean.
uint32_t fetchDirectory(PacketPort& port, const char* command, int32_t count, RecordStore& store) {
    Reply reply(port, kShortLine);
    if (uint32_t r = reply.begin(command)) return r;
    for (int32_t j = 0; j < count; ++j) {
        ReplyLine line;
        if (uint32_t r = reply.next(line)) return r;
        int32_t fields[kDirectoryFields];
        const uint32_t made = readDirectoryLine(line, fields) && fields[0] == j
                                  ? createItem(store, j, itemOf(fields))
                                  : KVTLNK_E_BAD_REPLY;
        if (made == KVTLNK_OK) continue;
        if (!line.isEndOfReply()) reply.skipRest(count - j - 1);
        return made;
    }
    return reply.end();
}

// Both memories' items together; the counts come from the calibrator and may be anything.
int64_t itemTotal(const SessionState& s) {
    return int64_t{s.procedureItemCount} + s.resultItemCount;
}

// "mu" reply: status, the byte count, data packets with that many bytes, the final packet.
uint32_t fetchItem(PacketPort& port, char letter, int32_t index, Record& record) {
    char command[32];
    std::snprintf(command, sizeof command, "mu %c,%d", letter, static_cast<int>(index));
    Reply reply(port, kLongLine);
    if (uint32_t r = reply.begin(command)) return r;
    ReplyLine line;
    if (uint32_t r = reply.next(line)) return r;
    const int64_t announced = line.asNumber();
    if (announced > record.length()) return KVTLNK_E_BAD_REPLY;

    for (int64_t got = 0; got < announced;) {
        if (uint32_t r = reply.next(line)) return r;
        // An empty packet would let a confused calibrator keep the step going for ever.
        if (line.size() == 0 || got + line.size() > record.length()) return KVTLNK_E_BAD_REPLY;
        std::memcpy(record.data() + got, line.bytes(), line.size());
        got += line.size();
    }
    return reply.end();
}

}  // namespace

uint32_t uploadStart(SessionState& s, PacketPort& port, MemoryImage& image, uint32_t* itemCount) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (itemCount == nullptr) return KVTLNK_E_ARGUMENT;
    *itemCount = 0;
    if (uint32_t r = ensureLink(s, port)) return r;
    if (uint32_t r = itemCounts(port, &s.procedureItemCount, &s.resultItemCount)) return r;

    image.procedure().truncate(0);
    image.results().truncate(0);
    if (uint32_t r = sendStatusText(s, port, "Uploading K27 Directory")) return r;
    if (uint32_t r = fetchDirectory(port, "md p", s.procedureItemCount, image.procedure()))
        return r;
    if (uint32_t r = fetchDirectory(port, "md r", s.resultItemCount, image.results())) return r;

    *itemCount = static_cast<uint32_t>(itemTotal(s));
    s.transferStep = 0;
    return KVTLNK_OK;
}

uint32_t uploadStep(SessionState& s, PacketPort& port, MemoryImage& image, uint32_t* remaining) {
    if (s.sessionOpen == 0) return KVTLNK_E_NO_SESSION;
    if (remaining == nullptr) return KVTLNK_E_ARGUMENT;
    *remaining = 0;
    const int32_t i = s.transferStep;
    const int64_t total = itemTotal(s);
    const char* first = "Uploading %lld items from K27 Memory";
    if (uint32_t r = sendProgress(s, port, first, i, total)) return r;

    const bool procedure = i < s.procedureItemCount;
    const int64_t index = procedure ? i : int64_t{i} - s.procedureItemCount;
    RecordStore& store = procedure ? image.procedure() : image.results();
    Record* record = index <= INT32_MAX ? store.selectRecord(static_cast<int32_t>(index)) : nullptr;
    if (record == nullptr) return KVTLNK_E_ARGUMENT;
    const uint32_t r = fetchItem(port, procedure ? 'p' : 'r', static_cast<int32_t>(index), *record);
    store.dataChanged();
    if (r != KVTLNK_OK) return r;

    s.transferStep = i + 1;
    *remaining = static_cast<uint32_t>(total - s.transferStep);
    return KVTLNK_OK;
}

}  // namespace kvtlnk
