// Upload: both calibrator memories come into the image, the directories first, then one
// item's data per step.
#include <cstdio>
#include <cstring>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "propkt/link.h"
#include "session/command.h"
#include "session/session_calls.h"

namespace kvtlnk {

namespace {

// One directory line: index, kind, version, length, then year, month, day, weekday, hour,
// minute, second.
constexpr int kDirectoryFields = 11;

// No calibrator memory comes near this (sixteen times the instrument's own): a directory that
// adds up to more is refused before anything is allocated for it.
constexpr uint64_t kMaxMemoryBytes = 16u << 20;
// Even items of one data byte each could not be more than this many.
constexpr int32_t kMaxItems =
    static_cast<int32_t>(kMaxMemoryBytes / (RecordStore::kHeaderBytes + 2));

// An item as its directory line describes it: kind, version and length cut to the width of
// their places, the date stamp as the calibrator's clock gave it.
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

// A field of the date stamp fits its byte.
bool fitsByte(int32_t value, int32_t base = 0) {
    return value >= base && value - base <= 0xFF;
}

// The item of a directory line; false when its date cannot be kept as it came: a year outside
// 1992-2247, or another field outside 0-255. Within those, whatever the calibrator's clock said
// is kept (a clock never set may give month 13 or minute 61), so it reads back as it came.
bool itemOf(const int32_t (&f)[kDirectoryFields], DirectoryItem* item) {
    if (!fitsByte(f[4], DateStamp::kBaseYear)) return false;
    for (int i = 5; i < kDirectoryFields; ++i) {
        if (!fitsByte(f[i])) return false;
    }
    *item = DirectoryItem{static_cast<uint16_t>(f[1]), static_cast<uint16_t>(f[2]),
                          static_cast<uint16_t>(f[3]), DateStamp{}};
    DateStamp& stamp = item->stamp;
    stamp.year = static_cast<uint8_t>(f[4] - DateStamp::kBaseYear);
    stamp.month = static_cast<uint8_t>(f[5]);
    stamp.day = static_cast<uint8_t>(f[6]);
    stamp.weekday = static_cast<uint8_t>(f[7]);
    stamp.hour = static_cast<uint8_t>(f[8]);
    stamp.minute = static_cast<uint8_t>(f[9]);
    stamp.second = static_cast<uint8_t>(f[10]);
    return true;
}

// Creates the directory's item j in the store: kind, version, zeroed data, date stamp.
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

// The directory's lines are read, and their sizes added up, before any record is made: a
// directory past the bound is refused with nothing allocated for it. A reply that goes wrong
// part-way still leaves the items whose lines came before it, as the calibrator sent them.
uint32_t fetchDirectory(PacketPort& port, const char* command, int32_t count, RecordStore& store) {
    Reply reply(port, kShortLine);
    if (uint32_t r = reply.begin(command)) return r;
    std::vector<DirectoryItem> items;
    uint64_t bytes = 0;
    uint32_t result = KVTLNK_OK;
    for (int32_t j = 0; j < count; ++j) {
        ReplyLine line;
        int32_t fields[kDirectoryFields];
        if ((result = reply.next(line)) != KVTLNK_OK) break;
        DirectoryItem item{};
        const bool usable =
            readDirectoryLine(line, fields) && fields[0] == j && itemOf(fields, &item);
        bytes += usable ? RecordStore::recordShare(item.length) : 0;
        if (!usable || bytes > kMaxMemoryBytes) {
            // The rest of the reply is taken, so that the next command's reply starts clean.
            reply.skipRest(count - j - 1);
            if (usable) return KVTLNK_E_BAD_REPLY;  // past the bound: nothing is made
            result = KVTLNK_E_BAD_REPLY;
            break;
        }
        items.push_back(item);
    }
    for (size_t j = 0; j < items.size(); ++j) {
        if (uint32_t r = createItem(store, static_cast<int32_t>(j), items[j])) return r;
    }
    return result != KVTLNK_OK ? result : reply.end();
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
    if (s.procedureItemCount > kMaxItems || s.resultItemCount > kMaxItems) {
        return KVTLNK_E_BAD_REPLY;
    }

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
    const int32_t index = procedure ? i : i - s.procedureItemCount;
    RecordStore& store = procedure ? image.procedure() : image.results();
    Record* record = store.selectRecord(index);
    if (record == nullptr) return KVTLNK_E_ARGUMENT;
    const uint32_t r = fetchItem(port, procedure ? 'p' : 'r', index, *record);
    store.dataChanged();
    if (r != KVTLNK_OK) return r;

    s.transferStep = i + 1;
    *remaining = static_cast<uint32_t>(total - s.transferStep);
    return KVTLNK_OK;
}

}  // namespace kvtlnk
