// The records of the library's image as bytes, in and out, through the extension calls: no
// calibrator, no files.
#include <fmt/format.h>

#include <charconv>

#include "base/error.h"
#include "base/time.h"
#include "common/files.h"
#include "image/image.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "procedure/description.h"

namespace kvtapp {
namespace {

using kvttools::CalibratorMemory;
using kvttools::Memory;

uint32_t extMemory(Memory memory) {
    return memory == Memory::Procedure ? KVX_PROCEDURE : KVX_RESULTS;
}

uint32_t count(Memory memory) {
    uint32_t procedure = 0;
    uint32_t results = 0;
    MEMstats(&procedure, &results);
    return memory == Memory::Procedure ? procedure : results;
}

kvttools::DateStamp stampOf(const uint8_t* b) {
    return {b[0], b[1], b[2], b[3], b[4], b[5], b[6]};
}

// The directory code of a record, as MEMpDir and MEMrDir report it.
uint32_t directoryCode(Memory memory, int32_t index) {
    uint32_t code = 0;
    uint32_t t[6] = {};
    (memory == Memory::Procedure ? MEMpDir : MEMrDir)(index, &code, &t[0], &t[1], &t[2], &t[3],
                                                      &t[4], &t[5]);
    return code;
}

// The decimal number that fills text[from, to), at most max.
bool wholeNumber(const std::string& text, size_t from, size_t to, uint32_t max, uint32_t* out) {
    if (from >= to || to > text.size()) return false;
    const char* end = text.data() + to;
    const auto [stop, ec] = std::from_chars(text.data() + from, end, *out);
    return ec == std::errc() && stop == end && *out <= max;
}

// Whether a line of MEMdump's listing is the record's: "12: STRATEGY(14),V(0),03/02/1998
// 10:04:05" (index, kind's name, kind, version, stamp month first).
bool listedAs(const std::string& line, const ImageRecord& r) {
    const size_t colon = line.find(": ");
    const size_t version = line.find("),V(");
    if (colon == std::string::npos || version == std::string::npos) return false;
    const size_t kind = line.rfind('(', version);
    const size_t versionEnd = line.find("),", version + 4);
    uint32_t index = 0, kindValue = 0, versionValue = 0;
    if (kind == std::string::npos || kind < colon || versionEnd == std::string::npos ||
        !wholeNumber(line, 0, colon, UINT32_MAX, &index) ||
        !wholeNumber(line, kind + 1, version, 0xFFFF, &kindValue) ||
        !wholeNumber(line, version + 4, versionEnd, 0xFFFF, &versionValue)) {
        return false;
    }
    const kvttools::DateStamp& s = r.stamp;
    const std::string stamp =
        listingStampText(s.fullYear(), s.month, s.day, s.hour, s.minute, s.second);
    return index == uint32_t(r.index) && kindValue == r.kind && versionValue == r.version &&
           line.compare(versionEnd + 2, std::string::npos, stamp) == 0;
}

}  // namespace

std::vector<ImageRecord> imageRecords(Memory memory) {
    std::vector<ImageRecord> records(count(memory));
    std::vector<uint8_t> buffer(KVX_RECORD_SIZE_MAX);
    for (size_t i = 0; i < records.size(); ++i) {
        ImageRecord& r = records[i];
        r.index = static_cast<int32_t>(i);
        uint32_t kind = 0, version = 0, length = 0;
        uint8_t stamp[KVX_STAMP_SIZE] = {};
        const uint32_t rc = KVXreadRecord(extMemory(memory), r.index, &kind, &version, stamp,
                                          &length, buffer.data(), KVX_RECORD_SIZE_MAX);
        if (rc != KVTLNK_OK) throw libraryError(rc, fmt::format("reading record {}", r.index));
        r.kind = static_cast<uint16_t>(kind);
        r.version = static_cast<uint16_t>(version);
        r.stamp = stampOf(stamp);
        r.data.assign(buffer.begin(), buffer.begin() + length);
        r.code = directoryCode(memory, r.index);
    }
    return records;
}

void loadImage(const kvttools::MemoryFile& memories) {
    // Decoded as for the built-in emulator's K27, which runs every setup.
    KVTsetVersion(kCheckedModel, kCheckedFirmware);
    for (const auto& [memory, records] : {std::pair{Memory::Procedure, &memories.procedure},
                                          {Memory::Results, &memories.results}}) {
        uint32_t rc = KVXtruncate(extMemory(memory), 0);
        for (size_t i = 0; rc == KVTLNK_OK && i < records->size(); ++i) {
            const kvttools::MemoryRecord& r = (*records)[i];
            uint8_t stamp[KVX_STAMP_SIZE];
            r.stamp.toBytes(stamp);
            rc = KVXloadRecord(extMemory(memory), r.kind, r.version, stamp, r.data.data(),
                               static_cast<uint32_t>(r.data.size()), nullptr);
            if (rc == KVTLNK_E_ARGUMENT || rc == KVTLNK_E_IMAGE) {
                throw inputError(fmt::format(
                    "{} record {}: {}", memory == Memory::Procedure ? "procedure" : "results", i,
                    rc == KVTLNK_E_ARGUMENT
                        ? "holds no data, and the calibrator keeps no empty record"
                        : "the memory takes no more records"));
            }
        }
        if (rc != KVTLNK_OK) throw libraryError(rc, "loading the image's records");
    }
}

std::vector<uint32_t> recordSizes() {
    std::vector<uint32_t> sizes;
    for (Memory memory : {Memory::Procedure, Memory::Results}) {
        for (uint32_t i = 0, n = count(memory); i < n; ++i) {
            uint32_t length = 0;
            KVXreadRecord(extMemory(memory), static_cast<int32_t>(i), nullptr, nullptr, nullptr,
                          &length, nullptr, 0);
            sizes.push_back(CalibratorMemory::share(length));
        }
    }
    return sizes;
}

std::vector<std::string> dumpFilesAmiss(const std::string& directory, size_t* total) {
    std::vector<std::string> amiss;
    *total = 0;
    const auto check = [&](const std::string& name, const auto& same) {
        ++*total;
        std::string found, error;
        if (!kvttools::readTextFile(directory + "/" + name, &found, &error) || !same(found))
            amiss.push_back(name);
    };
    for (const auto& [memory, base] :
         {std::pair{Memory::Results, "res"}, std::pair{Memory::Procedure, "prc"}}) {
        const std::vector<ImageRecord> records = imageRecords(memory);
        check(base + std::string(".dir"), [&records](const std::string& listing) {
            size_t at = 0;
            for (const ImageRecord& r : records) {
                const size_t end = listing.find('\n', at);
                if (end == std::string::npos || !listedAs(listing.substr(at, end - at), r))
                    return false;
                at = end + 1;
            }
            return at == listing.size();
        });
        for (const ImageRecord& r : records) {
            check(fmt::format("{}{}.nd", base, r.index), [&r](const std::string& data) {
                return data == std::string(r.data.begin(), r.data.end());
            });
        }
    }
    return amiss;
}

}  // namespace kvtapp
