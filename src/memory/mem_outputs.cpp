// The MEM calls that report through the caller's outputs, any of which the caller may leave out.
#include "kvtlnk/kvtlnk.h"
#include "memory/mem_api.h"
#include "support/outputs.h"

namespace kvtlnk {

uint32_t memDir(const MemoryImage& image, Memory memory, int32_t index, uint32_t* code,
                uint32_t* year, uint32_t* month, uint32_t* day, uint32_t* hour, uint32_t* minute,
                uint32_t* second) {
    DirEntry e;
    const uint32_t result = memDir(image, memory, index, &e);
    if (result != KVTLNK_OK) return result;
    put(code, e.code);
    put(year, e.year);
    put(month, e.month);
    put(day, e.day);
    put(hour, e.hour);
    put(minute, e.minute);
    put(second, e.second);
    return KVTLNK_OK;
}

uint32_t memCalResultEntry(MemoryImage& image, int32_t index, int32_t entry, float* inValue,
                           uint32_t* inFlag, float* inLimit, float* outValue, uint32_t* outFlag,
                           float* outLimit, float* thirdValue) {
    EntryValues v;
    const uint32_t result = memCalResultEntry(image, index, entry, &v);
    if (result != KVTLNK_OK) return result;
    put(inValue, v.inValue);
    put(inFlag, v.inFlag);
    put(inLimit, v.inLimit);
    put(outValue, v.outValue);
    put(outFlag, v.outFlag);
    put(outLimit, v.outLimit);
    put(thirdValue, v.thirdValue);
    return KVTLNK_OK;
}

void memUsed(const MemoryImage& image, uint32_t* bytes) {
    put(bytes, image.usedBytes());
}

void memRecordCounts(const MemoryImage& image, uint32_t* procedureRecords,
                     uint32_t* resultRecords) {
    put(procedureRecords, static_cast<uint32_t>(image.procedure().count()));
    put(resultRecords, static_cast<uint32_t>(image.results().count()));
}

}  // namespace kvtlnk
