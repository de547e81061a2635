// The MEM entry points: each runs the MEM call on the library's image (and its setup, font or
// text tables).
#include "api/boundary.h"
#include "memory/mem_api.h"

using namespace kvtlnk;

extern "C" {

KVTLNK_API void KVTLNK_CALL MEMclear(void) {
    exported(Call(__func__), [](Library& lib) { memClear(lib.image); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyDefn(uint32_t* index, const char* name, int32_t count,
                                                const float* points) {
    return exported(Call(__func__, index, name, count, points), [&](Library& lib) {
        return memStrategyDefn(lib.image, index, name, count, points);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcheckPromptDefn(const char* text, uint32_t* fittingLength) {
    return exported(Call(__func__, text, fittingLength), [&](Library& lib) {
        return memCheckPromptDefn(lib.promptFont, text, fittingLength);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefn(const char* name, const char* text) {
    return exported(Call(__func__, name, text), [&](Library& lib) {
        return memPromptDefn(lib.image, lib.promptFont, name, text);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstartTask(const char* name) {
    return exported(Call(__func__, name),
                    [&](Library& lib) { return memStartTask(lib.image, name); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMprompt(const char* promptDefnName) {
    return exported(Call(__func__, promptDefnName),
                    [&](Library& lib) { return memPrompt(lib.image, promptDefnName); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplate(uint32_t strategyIndex, uint32_t flag,
                                            const char* text1, const char* text2,
                                            uint32_t setupIndex) {
    return exported(
        Call(__func__, strategyIndex, flag, text1, text2, setupIndex), [&](Library& lib) {
            return memTemplate(lib.image, strategyIndex, flag, text1, text2, setupIndex);
        });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMendTask(void) {
    return exported(Call(__func__), [](Library& lib) { return memEndTask(lib.image); });
}

KVTLNK_API void KVTLNK_CALL MEMused(uint32_t* bytes) {
    exported(Call(__func__, bytes), [&](Library& lib) { memUsed(lib.image, bytes); });
}

KVTLNK_API void KVTLNK_CALL MEMstats(uint32_t* procedureRecords, uint32_t* resultRecords) {
    exported(Call(__func__, procedureRecords, resultRecords),
             [&](Library& lib) { memRecordCounts(lib.image, procedureRecords, resultRecords); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second) {
    return exported(Call(__func__, index, code, year, month, day, hour, minute, second),
                    [&](Library& lib) {
                        return memDir(lib.image, Memory::Procedure, index, code, year, month, day,
                                      hour, minute, second);
                    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMrDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second) {
    return exported(Call(__func__, index, code, year, month, day, hour, minute, second),
                    [&](Library& lib) {
                        return memDir(lib.image, Memory::Results, index, code, year, month, day,
                                      hour, minute, second);
                    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtaskInfo(int32_t index, char* name, uint32_t* taskWord) {
    return exported(Call(__func__, index, name, taskWord),
                    [&](Library& lib) { return memTaskInfo(lib.image, index, name, taskWord); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyInfo(int32_t index, char* name, int32_t* count,
                                                int32_t maxPoints, float* points) {
    return exported(Call(__func__, index, name, count, maxPoints, points), [&](Library& lib) {
        return memStrategyInfo(lib.image, index, name, count, maxPoints, points);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateInfo(int32_t index, uint32_t* strategyIndex,
                                                uint32_t* flag, char* text1, char* text2) {
    return exported(Call(__func__, index, strategyIndex, flag, text1, text2), [&](Library& lib) {
        return memTemplateInfo(lib.image, index, strategyIndex, flag, text1, text2);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateState(int32_t index) {
    return exported(Call(__func__, index),
                    [&](Library& lib) { return memTemplateState(lib.image, lib.setup, index); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptInfo(int32_t index, char* name) {
    return exported(Call(__func__, index, name),
                    [&](Library& lib) { return memPromptInfo(lib.image, index, name); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefnInfo(int32_t index, char* name, uint32_t* textLength,
                                                  int32_t textSize, char* text) {
    return exported(Call(__func__, index, name, textLength, textSize, text), [&](Library& lib) {
        return memPromptDefnInfo(lib.image, index, name, textLength, textSize, text);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcalResult(int32_t index, uint32_t* entryCount) {
    return exported(Call(__func__, index, entryCount),
                    [&](Library& lib) { return memCalResult(lib.image, index, entryCount); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMcalResultEntry(int32_t index, int32_t entry, float* inValue,
                                                  uint32_t* inFlag, float* inLimit, float* outValue,
                                                  uint32_t* outFlag, float* outLimit,
                                                  float* thirdValue) {
    return exported(Call(__func__, index, entry, inValue, inFlag, inLimit, outValue, outFlag,
                         outLimit, thirdValue),
                    [&](Library& lib) {
                        return memCalResultEntry(lib.image, index, entry, inValue, inFlag, inLimit,
                                                 outValue, outFlag, outLimit, thirdValue);
                    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMbaseState(int32_t index) {
    return exported(Call(__func__, index),
                    [&](Library& lib) { return memBaseState(lib.image, lib.setup, index); });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMasflInfo(int32_t index, uint32_t* taskIndex,
                                            uint32_t* strategyIndex, uint32_t* flag) {
    return exported(Call(__func__, index, taskIndex, strategyIndex, flag), [&](Library& lib) {
        return memAsflInfo(lib.image, index, taskIndex, strategyIndex, flag);
    });
}

KVTLNK_API uint32_t KVTLNK_CALL MEMtagidInfo(uint32_t index, char* text1, char* text2,
                                             char* text3) {
    return exported(Call(__func__, index, text1, text2, text3), [&](Library& lib) {
        return memTagidInfo(lib.image, index, text1, text2, text3);
    });
}

KVTLNK_API void KVTLNK_CALL MEMdump(const char* directory) {
    exported(Call(__func__, directory),
             [&](Library& lib) { memDump(lib.image, lib.textTables, directory); });
}

}  // extern "C"
