// The extension's entry points: records in and out as bytes, the records a result rests on,
// result texts; each runs on the library's image.
#include "api/boundary.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "kvtlnk/kvtlnk_messages.h"
#include "memory/record_bytes.h"
#include "memory/result_records.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL KVXloadRecord(uint32_t memory, uint32_t kind, uint32_t version,
                                              const uint8_t* stamp, const uint8_t* data,
                                              uint32_t length, int32_t* index) {
    return exported(
        Call(__func__, memory, kind, version, stamp, data, length, index), [&](Library& lib) {
            return loadRecord(lib.image, memory, kind, version, stamp, data, length, index);
        });
}

KVTLNK_API uint32_t KVTLNK_CALL KVXreadRecord(uint32_t memory, int32_t index, uint32_t* kind,
                                              uint32_t* version, uint8_t* stamp, uint32_t* length,
                                              uint8_t* data, uint32_t capacity) {
    return exported(Call(__func__, memory, index, kind, version, stamp, length, data, capacity),
                    [&](Library& lib) {
                        return readRecord(lib.image, memory, index, kind, version, stamp, length,
                                          data, capacity);
                    });
}

KVTLNK_API uint32_t KVTLNK_CALL KVXtruncate(uint32_t memory, int32_t index) {
    return exported(Call(__func__, memory, index),
                    [&](Library& lib) { return truncateRecords(lib.image, memory, index); });
}

KVTLNK_API uint32_t KVTLNK_CALL KVXresultRecord(int32_t result, uint32_t role, uint32_t* memory,
                                                int32_t* index) {
    return exported(Call(__func__, result, role, memory, index), [&](Library& lib) {
        return resultRecord(lib.image, result, role, memory, index);
    });
}

// The texts are those of kvtlnkMessage, the one table of them.
KVTLNK_API const char* KVTLNK_CALL KVXmessage(uint32_t code) {
    return exported(Call(__func__, code), [&](Library&) { return kvtlnkMessage(code); });
}

}  // extern "C"
