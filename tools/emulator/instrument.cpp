#include "instrument.h"

#include <algorithm>
#include <cstdio>

#include "protocol/byte_order.h"

namespace k27emu {
namespace {

constexpr uint8_t kEot = 0x04;
constexpr size_t kBlockHeaderBytes = 13;  // "mbp", length, index, offset
constexpr size_t kUploadChunk = 256;      // the library takes item data in packets of 256

// A field of decimal digits only, within [0, max].
bool parseNumber(const std::string& s, uint32_t max, uint32_t* out) {
    if (s.empty() || s.size() > 10) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > max) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

std::vector<std::string> splitFields(const std::string& s) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = s.find(',', start);
        fields.push_back(s.substr(start, comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string joinFields(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& f : fields) {
        if (!line.empty()) line += ',';
        line += replyField(f);
    }
    return line;
}

}  // namespace

std::vector<std::string> Reply::lines() const {
    std::vector<std::string> out;
    for (size_t i = 1; i + 1 < packets.size(); ++i) {
        out.emplace_back(packets[i].begin(), packets[i].end());
    }
    return out;
}

Packet toPacket(const std::string& text) {
    return Packet(text.begin(), text.end());
}

Reply acceptedReply(std::vector<Packet> data) {
    Reply r;
    r.accepted = true;
    r.packets.push_back(toPacket(kStatusOk));
    for (Packet& p : data)
        r.packets.push_back(std::move(p));
    r.packets.push_back(Packet{kEot});
    return r;
}

Reply refusedReply(const std::string& status) {
    Reply r;
    r.packets.push_back(toPacket(status.empty() ? std::string(kStatusBadCommand) : status));
    return r;
}

std::string replyField(const std::string& text) {
    std::string f = text;
    std::replace(f.begin(), f.end(), ',', '|');
    return f;
}

std::string describeCommand(const uint8_t* bytes, size_t n) {
    if (n >= kBlockHeaderBytes && bytes[0] == 'm' && bytes[1] == 'b' && bytes[2] == 'p') {
        return "mbp " + std::to_string(kvttools::loadU16(bytes + 3)) + "," +
               std::to_string(kvttools::loadU32(bytes + 5)) + "," +
               std::to_string(kvttools::loadU32(bytes + 9));
    }
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F) {
            text += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            text += hex;
        }
    }
    return text;
}

Instrument::Instrument(Identity identity)
    : identity_(std::move(identity)), clock_([] { return kvttools::stampNow(); }) {}

Reply Instrument::answer(const uint8_t* bytes, size_t n) {
    const std::string text(reinterpret_cast<const char*>(bytes), n);
    Reply reply = dispatch(text, bytes, n);
    log(bytes, n, reply.accepted);
    return reply;
}

Reply Instrument::refuse(const uint8_t* bytes, size_t n, const std::string& status) {
    log(bytes, n, false);
    return refusedReply(status);
}

void Instrument::log(const uint8_t* bytes, size_t n, bool accepted) {
    // The oldest half goes at once when the log reaches twice what it keeps, so that each
    // command costs the same on average.
    if (log_.size() >= 2 * kLogKeep) log_.erase(log_.begin(), log_.begin() + kLogKeep);
    log_.push_back({describeCommand(bytes, n), Packet(bytes, bytes + n), accepted});
}

void Instrument::clearLogs() {
    log_.clear();
    statusTexts_.clear();
}

Reply Instrument::dispatch(const std::string& text, const uint8_t* bytes, size_t n) {
    if (n >= 3 && startsWith(text, "mbp")) return writeBlock(bytes, n);
    if (text == "id") return identify();
    if (text == "ed") return extendedData();
    if (text == "ms") return memoryStatistics();
    if (text == "ds") return startDownload();
    if (text == "mc p") return clearMemory(Memory::Procedure);
    if (text == "mc r") return clearMemory(Memory::Results);
    if (text == "md p") return directory(Memory::Procedure);
    if (text == "md r") return directory(Memory::Results);
    if (startsWith(text, "ma p,")) return addItem(text.substr(5));
    if (startsWith(text, "mu ")) return uploadItem(text.substr(3));
    if (text == "sf link") return statusText("");
    if (startsWith(text, "sf link,")) return statusText(text.substr(8));
    return refusedReply(kStatusBadCommand);
}

Reply Instrument::identify() const {
    return acceptedReply({toPacket(
        joinFields({identity_.model, identity_.firmwareVersion, identity_.serialNumber}))});
}

// Model family, serial number, hardware revision, boot firmware, display language, date of
// the last adjustment, battery charge in percent, adjustment interval in months, and the
// capacity of each memory in bytes.
Reply Instrument::extendedData() const {
    return acceptedReply(
        {toPacket(joinFields({"K27", identity_.serialNumber, "HW3", "B1.00", "EN", "2024-01-15",
                              "100", "12", std::to_string(CalibratorMemory::kCapacity)}))});
}

// Per memory: letter, name, bytes used, bytes free, capacity, number of items.
Reply Instrument::memoryStatistics() const {
    std::vector<Packet> lines;
    for (const CalibratorMemory* m : {&procedure_, &results_}) {
        lines.push_back(toPacket(
            joinFields({std::string(1, m->letter()), m == &procedure_ ? "procedure" : "results",
                        std::to_string(m->usedBytes()), std::to_string(m->freeBytes()),
                        std::to_string(CalibratorMemory::kCapacity), std::to_string(m->count())})));
    }
    return acceptedReply(std::move(lines));
}

// "ds" opens a download: the "mc r" that follows the items ends it.
Reply Instrument::startDownload() {
    downloading_ = true;
    return acceptedReply();
}

Reply Instrument::clearMemory(Memory m) {
    memory(m).clear();
    Reply r = acceptedReply();
    if (m == Memory::Results && downloading_) {
        downloading_ = false;
        r.endsDownload = true;
    }
    return r;
}

// "ma p,<kind>,<version>,<length>": a zero-filled item at the end of the procedure memory.
Reply Instrument::addItem(const std::string& args) {
    const std::vector<std::string> f = splitFields(args);
    uint32_t kind = 0, version = 0, length = 0;
    if (f.size() != 3 || !parseNumber(f[0], 0xFFFF, &kind) ||
        !parseNumber(f[1], 0xFFFF, &version) ||
        !parseNumber(f[2], CalibratorMemory::kMaxItemBytes, &length) || length == 0) {
        return refusedReply(kStatusBadCommand);
    }
    MemoryRecord item;
    item.kind = static_cast<uint16_t>(kind);
    item.version = static_cast<uint16_t>(version);
    item.stamp = clock_();
    item.data.assign(length, 0);
    const int32_t index = procedure_.append(std::move(item));
    if (index < 0) return refusedReply(kStatusNoRoom);
    return acceptedReply({toPacket(std::to_string(index))});
}

// "mbp", 16-bit length n, 32-bit item index, 32-bit offset, then n data bytes.
Reply Instrument::writeBlock(const uint8_t* bytes, size_t n) {
    if (n < kBlockHeaderBytes) return refusedReply(kStatusBadCommand);
    const uint32_t length = kvttools::loadU16(bytes + 3);
    const uint32_t index = kvttools::loadU32(bytes + 5);
    const uint64_t offset = kvttools::loadU32(bytes + 9);
    if (length == 0 || n != kBlockHeaderBytes + length) return refusedReply(kStatusBadCommand);
    MemoryRecord* item =
        index < 0x80000000u ? procedure_.item(static_cast<int32_t>(index)) : nullptr;
    if (item == nullptr || offset + length > item->data.size()) {
        return refusedReply(kStatusNoItem);
    }
    std::copy(bytes + kBlockHeaderBytes, bytes + n, item->data.begin() + offset);
    return acceptedReply();
}

// One line per item: index, kind, version, length, year, month, day, weekday, hour, minute,
// second.
Reply Instrument::directory(Memory m) const {
    std::vector<Packet> lines;
    const CalibratorMemory& mem = memory(m);
    for (int32_t i = 0; i < mem.count(); ++i) {
        const MemoryRecord& r = *mem.item(i);
        const DateStamp& s = r.stamp;
        char line[128];
        std::snprintf(line, sizeof line, "%d,%u,%u,%zu,%d,%u,%u,%u,%u,%u,%u", i, r.kind, r.version,
                      r.data.size(), s.fullYear(), s.month, s.day, s.weekday, s.hour, s.minute,
                      s.second);
        lines.push_back(toPacket(line));
    }
    return acceptedReply(std::move(lines));
}

// "mu <letter>,<index>": the byte count, then the data in packets of at most 256 bytes.
Reply Instrument::uploadItem(const std::string& args) const {
    uint32_t index = 0;
    if (args.size() < 3 || args[1] != ',' || (args[0] != 'p' && args[0] != 'r') ||
        !parseNumber(args.substr(2), 0x7FFFFFFF, &index)) {
        return refusedReply(kStatusBadCommand);
    }
    const CalibratorMemory& mem = memory(args[0] == 'p' ? Memory::Procedure : Memory::Results);
    const MemoryRecord* item = mem.item(static_cast<int32_t>(index));
    if (item == nullptr) return refusedReply(kStatusNoItem);
    std::vector<Packet> packets{toPacket(std::to_string(item->data.size()))};
    for (size_t at = 0; at < item->data.size(); at += kUploadChunk) {
        const size_t end = std::min(item->data.size(), at + kUploadChunk);
        packets.emplace_back(item->data.begin() + at, item->data.begin() + end);
    }
    return acceptedReply(std::move(packets));
}

Reply Instrument::statusText(const std::string& text) {
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '|', ',');
    statusTexts_.push_back(shown);
    return acceptedReply();
}

}  // namespace k27emu
