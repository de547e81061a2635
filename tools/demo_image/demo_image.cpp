// Builds a small procedure memory in the library's image and prints its directory.
#include <cstdio>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/memory_image.h"
#include "memory/record_layout.h"

using namespace kvtlnk;

namespace {

void addText(RecordStore& store, uint16_t kind, int reservedBytes, const char* text) {
    if (store.beginRecord(kind, 0) < 0) return;
    const uint8_t zeros[2] = {0, 0};
    store.writeBytes(zeros, reservedBytes);
    store.writeBytes(text, static_cast<int32_t>(std::strlen(text) + 1));
    store.endRecord();
}

}  // namespace

int main() {
    char version[4];
    KVTversion(version);
    std::printf("kvtlnk %s\n", version);

    MemoryImage& image = theImage();
    RecordStore& p = image.procedure();
    addText(p, PROMPT_DEFN, 2, "Connect the transmitter");
    addText(p, TASK_START, 2, "PT-101");
    addText(p, PROMPT, 0, "Connect the transmitter");
    addText(p, TASK_END, 0, "");

    std::printf("procedure memory: %d records, %u bytes in use\n", p.count(), image.usedBytes());
    for (int32_t i = 0; i < p.count(); ++i) {
        const Record* r = p.selectRecord(i);
        const DateStamp& s = r->stamp();
        std::printf("%3d: kind %2u  code %2u  %3u bytes  %02u/%02u/%d %02u:%02u:%02u\n", i,
                    r->kind(), directoryCode(r->kind(), Memory::Procedure), r->length(), s.month,
                    s.day, s.fullYear(), s.hour, s.minute, s.second);
    }
    return 0;
}
