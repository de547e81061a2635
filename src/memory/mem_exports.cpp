// The MEM entry points, and the STA ones that save and restore setup records: each passes the
// process-wide image (and setup) to the call that does the work.
#include "kvtlnk/kvtlnk.h"
#include "memory/mem_api.h"
#include "memory/setup_record.h"
#include "session/session_state.h"
#include "setup/setup_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

uint32_t dir(Memory memory, int32_t index, uint32_t* code, uint32_t* year, uint32_t* month,
             uint32_t* day, uint32_t* hour, uint32_t* minute, uint32_t* second) {
    DirEntry e;
    const uint32_t result = memDir(theImage(), memory, index, &e);
    if (result != KVTLNK_OK) return result;
    uint32_t* const outs[] = {code, year, month, day, hour, minute, second};
    const uint32_t values[] = {e.code, e.year, e.month, e.day, e.hour, e.minute, e.second};
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        if (outs[i] != nullptr) *outs[i] = values[i];
    }
    return KVTLNK_OK;
}

}  // namespace

extern "C" {

KVTLNK_API void KVTLNK_CALL MEMclear(void) {
    guardedVoid([] { memClear(theImage()); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyDefn(uint32_t* index, const char* name, int32_t count,
                                                const float* points) {
    return guarded(KVTLNK_E_IMAGE,
                   [&] { return memStrategyDefn(theImage(), index, name, count, points); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcheckPromptDefn(const char* text, uint32_t* fittingLength) {
    return guarded(KVTLNK_E_PROMPT_FIT, [&] { return memCheckPromptDefn(text, fittingLength); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefn(const char* name, const char* text) {
    return guarded(KVTLNK_E_IMAGE, [&] { return memPromptDefn(theImage(), name, text); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstartTask(const char* name) {
    return guarded(KVTLNK_E_IMAGE, [&] { return memStartTask(theImage(), name); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMprompt(const char* promptDefnName) {
    return guarded(KVTLNK_E_IMAGE, [&] { return memPrompt(theImage(), promptDefnName); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplate(uint32_t strategyIndex, uint32_t flag,
                                            const char* text1, const char* text2,
                                            uint32_t setupIndex) {
    return guarded(KVTLNK_E_IMAGE, [&] {
        return memTemplate(theImage(), strategyIndex, flag, text1, text2, setupIndex);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMendTask(void) {
    return guarded(KVTLNK_E_IMAGE, [] { return memEndTask(theImage()); });
}

KVTLNK_API void KVTLNK_CALL MEMused(uint32_t* bytes) {
    guardedVoid([&] {
        if (bytes != nullptr) *bytes = theImage().usedBytes();
    });
}

KVTLNK_API void KVTLNK_CALL MEMstats(uint32_t* procedureRecords, uint32_t* resultRecords) {
    guardedVoid([&] {
        const MemoryImage& image = theImage();
        if (procedureRecords != nullptr)
            *procedureRecords = static_cast<uint32_t>(image.procedure().count());
        if (resultRecords != nullptr)
            *resultRecords = static_cast<uint32_t>(image.results().count());
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second) {
    return guarded(KVTLNK_E_RECORD, [&] {
        return dir(Memory::Procedure, index, code, year, month, day, hour, minute, second);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMrDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second) {
    return guarded(KVTLNK_E_RECORD, [&] {
        return dir(Memory::Results, index, code, year, month, day, hour, minute, second);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtaskInfo(int32_t index, char* name, uint32_t* taskWord) {
    return guarded(KVTLNK_E_RECORD, [&] { return memTaskInfo(theImage(), index, name, taskWord); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyInfo(int32_t index, char* name, int32_t* count,
                                                int32_t maxPoints, float* points) {
    return guarded(KVTLNK_E_RECORD, [&] {
        return memStrategyInfo(theImage(), index, name, count, maxPoints, points);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateInfo(int32_t index, uint32_t* strategyIndex,
                                                uint32_t* flag, char* text1, char* text2) {
    return guarded(KVTLNK_E_RECORD, [&] {
        return memTemplateInfo(theImage(), index, strategyIndex, flag, text1, text2);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateState(int32_t index) {
    return guarded(KVTLNK_E_RECORD,
                   [&] { return memTemplateState(theImage(), theSetupState(), index); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptInfo(int32_t index, char* name) {
    return guarded(KVTLNK_E_RECORD, [&] { return memPromptInfo(theImage(), index, name); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefnInfo(int32_t index, char* name, uint32_t* textLength,
                                                  int32_t textSize, char* text) {
    return guarded(KVTLNK_E_RECORD, [&] {
        return memPromptDefnInfo(theImage(), index, name, textLength, textSize, text);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcalResult(int32_t index, uint32_t* entryCount) {
    return guarded(KVTLNK_E_RECORD, [&] { return memCalResult(theImage(), index, entryCount); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcalResultEntry(int32_t index, int32_t entry, float* inValue,
                                                  uint32_t* inFlag, float* inLimit, float* outValue,
                                                  uint32_t* outFlag, float* outLimit,
                                                  float* thirdValue) {
    return guarded(KVTLNK_E_IMAGE, [&] {
        EntryValues v;
        const uint32_t result = memCalResultEntry(theImage(), index, entry, &v);
        if (result != KVTLNK_OK) return result;
        float* const floats[] = {inValue, inLimit, outValue, outLimit, thirdValue};
        const float floatValues[] = {v.inValue, v.inLimit, v.outValue, v.outLimit, v.thirdValue};
        for (size_t i = 0; i < 5; ++i) {
            if (floats[i] != nullptr) *floats[i] = floatValues[i];
        }
        if (inFlag != nullptr) *inFlag = v.inFlag;
        if (outFlag != nullptr) *outFlag = v.outFlag;
        return KVTLNK_OK;
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMbaseState(int32_t index) {
    return guarded(KVTLNK_E_RECORD,
                   [&] { return memBaseState(theImage(), theSetupState(), index); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMasflInfo(int32_t index, uint32_t* taskIndex,
                                            uint32_t* strategyIndex, uint32_t* flag) {
    return guarded(KVTLNK_E_RECORD,
                   [&] { return memAsflInfo(theImage(), index, taskIndex, strategyIndex, flag); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtagidInfo(uint32_t index, char* text1, char* text2,
                                             char* text3) {
    return guarded(KVTLNK_E_NO_TAG,
                   [&] { return memTagidInfo(theImage(), index, text1, text2, text3); });
}

// Saving keeps the record only when the accepted calibrator's firmware can take it.
KVTLNK_API uint32_t KVTLNK_CALL STAsave(int32_t* index) {
    if (index == nullptr) return KVTLNK_E_ARGUMENT;
    return guarded(KVTLNK_E_IMAGE, [&] {
        return staSave(theSetupState(), theImage(), theSession().firmwareLevel, index);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL STArestore(int32_t resultsIndex) {
    return guarded(KVTLNK_E_NOT_ACCEPTED,
                   [&] { return staRestore(theSetupState(), theImage(), resultsIndex); });
}

KVTLNK_API void KVTLNK_CALL MEMdump(const char* directory) {
    guardedVoid([&] { memDump(theImage(), theTextTables(), directory); });
}

}  // extern "C"
