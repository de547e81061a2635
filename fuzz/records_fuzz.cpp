// Every record kind through every reading call, and the extension's (the records a result rests
// on, each record back as bytes): the pieces make both memories
// (fuzz_support.h), then each call reads each index, and a setup that loads is read back.
#include <algorithm>

#include "api/library.h"
#include "fuzz_support.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_ext.h"

using namespace kvtlnk;

// Exported, not yet declared in the public header.
extern "C" {
uint32_t STArestore(int32_t resultsIndex);
uint32_t STAgetInputString(char* primary, char* secondary);
uint32_t STAgetOutputString(char* primary, char* secondary);
uint32_t STAgetMinMaxString(char* maximum, char* minimum);
void STAgetPressure(char* text1, char* text2, uint32_t* present);
uint32_t STAgetLoggedData(uint32_t index, uint32_t* valid, float* value);
}

namespace {

void readSetup() {
    char a[KVTLNK_DISPLAY_STRING_SIZE], b[KVTLNK_DISPLAY_STRING_SIZE];
    uint32_t u = 0;
    float f = 0;
    STAgetInputString(a, b);
    STAgetOutputString(a, b);
    STAgetMinMaxString(a, b);
    STAgetPressure(a, b, &u);
    for (uint32_t i = 0; i < 3; ++i)
        STAgetLoggedData(i, &u, &f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::fillImage(library().image, fuzz::splitPieces(data, size), 64);
    const int32_t last =
        std::max(library().image.procedure().count(), library().image.results().count());
    char a[64], b[64], c[64];
    uint32_t u[3] = {};
    float f[5] = {}, points[64];
    static uint8_t bytes[KVX_RECORD_SIZE_MAX];
    int32_t n = 0;
    for (int32_t i = -1; i <= last; ++i) {
        MEMpDir(i, u, u, u, u, u, u, u);
        MEMrDir(i, u, u, u, u, u, u, u);
        MEMtaskInfo(i, a, u);
        MEMstrategyInfo(i, a, &n, 64, points);
        MEMtemplateInfo(i, u, u + 1, a, b);
        if (MEMtemplateState(i) == KVTLNK_OK) readSetup();
        MEMpromptInfo(i, a);
        MEMpromptDefnInfo(i, a, u, sizeof b, b);
        if (MEMcalResult(i, u) == KVTLNK_OK) {
            const auto entries = static_cast<int32_t>(std::min<uint32_t>(u[0], 8));
            for (int32_t e = -1; e <= entries; ++e)
                MEMcalResultEntry(i, e, f, u, f + 1, f + 2, u + 1, f + 3, f + 4);
        }
        if (MEMbaseState(i) == KVTLNK_OK) readSetup();
        MEMasflInfo(i, u, u + 1, u + 2);
        MEMtagidInfo(static_cast<uint32_t>(i), a, b, c);
        if (STArestore(i) == KVTLNK_OK) readSetup();
        int32_t at = 0;
        for (uint32_t role = KVX_ROLE_SETUP; role <= KVX_ROLE_TAG; ++role)
            KVXresultRecord(i, role, u, &at);
        for (uint32_t memory : {KVX_PROCEDURE, KVX_RESULTS})
            KVXreadRecord(memory, i, u, u + 1, bytes, u + 2, bytes, sizeof bytes);
    }
    return 0;
}
