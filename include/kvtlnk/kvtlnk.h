/*
 * kvtlnk: support library for the K27 process calibrator.
 *
 * Three families of C entry points:
 *   KVT...  the session with a calibrator on a serial port: open, identify, download, upload;
 *   MEM...  the memory image: procedure definitions, directories, results, dump files;
 *   STA...  the calibrator's setup: functions, ranges, units, readings and display strings.
 *
 * Every call returns a result code (KVTLNK_OK, a warning 100-105 or an error 2000-2026) unless
 * its comment says otherwise. Texts are zero-terminated 8-bit strings in the calibrator's
 * character set. The library holds one session, one memory image and one setup per process and
 * takes no lock: call it from one thread at a time.
 *
 * Output buffers: names and template texts need 33 bytes, strategy names 21, identification
 * texts (KVTgetK2x) 128, display strings 32, function/sensor/unit names 16.
 */
#ifndef KVTLNK_KVTLNK_H
#define KVTLNK_KVTLNK_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KVTLNK_CALL __stdcall
#else
#define KVTLNK_CALL
#endif

#if defined(KVTLNK_BUILDING) && !defined(_WIN32)
#define KVTLNK_API __attribute__((visibility("default")))
#else
#define KVTLNK_API
#endif

/* Result codes. */
#define KVTLNK_OK 0u
#define KVTLNK_W_LOOP_POWER_OFF 100u          /* setting made; loop power switched off */
#define KVTLNK_W_INPUT_TO_DCV 101u            /* setting made; input changed to "dcv" */
#define KVTLNK_W_OUTPUT_TO_NONE 102u          /* setting made; output changed to "none" */
#define KVTLNK_W_STATUS_10027 103u            /* never produced */
#define KVTLNK_W_INPUT_TO_DCV_LOOP_OFF 104u   /* as 101, and loop power switched off */
#define KVTLNK_W_OUTPUT_TO_NONE_LOOP_OFF 105u /* as 102, and loop power switched off */
#define KVTLNK_E_STATUS_15000 2000u           /* never produced */
#define KVTLNK_E_TC_CONVERSION 2001u          /* thermocouple source or reference junction */
#define KVTLNK_E_RTD_CONVERSION 2002u         /* RTD source resistance fits no range */
#define KVTLNK_E_COMBINATION 2003u            /* function, units and sensor do not go together */
#define KVTLNK_E_OUTPUT_RANGE 2004u           /* output value fits no range */
#define KVTLNK_E_NOT_ACCEPTED 2005u           /* model or firmware level does not take it */
#define KVTLNK_E_INPUT_RANGE 2006u            /* input range not allowed */
#define KVTLNK_E_STATUS_15015 2007u           /* never produced */
#define KVTLNK_E_NO_VALUE 2008u               /* no range or no valid logged reading */
#define KVTLNK_E_STATUS_15017 2009u           /* never produced */
#define KVTLNK_E_STATUS_15018 2010u           /* never produced */
#define KVTLNK_E_STATUS_15019 2011u           /* never produced */
#define KVTLNK_E_IMAGE 2012u                  /* the image could not take the record */
#define KVTLNK_E_ARGUMENT 2013u               /* invalid argument */
#define KVTLNK_E_RECORD 2014u                 /* no decodable record of that kind there */
#define KVTLNK_E_PROMPT_FIT 2015u             /* prompt text does not fit the display */
#define KVTLNK_E_STRATEGY_POINT 2016u         /* strategy point outside 0.0 to 3.0 */
#define KVTLNK_E_NO_SESSION 2017u             /* no session, or the port cannot be opened */
#define KVTLNK_E_REFUSED 2018u                /* the calibrator refused the command */
#define KVTLNK_E_NO_LINK 2019u                /* the packet link could not be brought up */
#define KVTLNK_E_SEND 2020u                   /* a command packet was not acknowledged */
#define KVTLNK_E_NO_REPLY 2021u               /* an expected reply packet did not arrive */
#define KVTLNK_E_BAD_REPLY 2022u              /* a reply was malformed */
#define KVTLNK_E_DIRECTORY 2023u              /* an uploaded item landed at another index */
#define KVTLNK_E_TOO_LONG 2024u               /* a name or text is too long for its record */
#define KVTLNK_E_NO_TAG 2026u                 /* no tag-identifier record after the result */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- KVT: library version and the calibrator session ---- */
KVTLNK_API void KVTLNK_CALL KVTversion(char* dst); /* "1.1", 4 bytes */
KVTLNK_API uint32_t KVTLNK_CALL KVTsetVersion(const char* model, const char* firmwareVersion);
KVTLNK_API uint32_t KVTLNK_CALL KVTopen(int32_t baud, const char* portName, uint32_t readTimeoutMs,
                                        int32_t retries);
KVTLNK_API uint32_t KVTLNK_CALL KVTclose(void);
KVTLNK_API uint32_t KVTLNK_CALL KVTgetK2x(char* model, char* ident3, char* firmwareVersion,
                                          uint32_t* edValue, uint32_t* procItems,
                                          uint32_t* resultItems);
KVTLNK_API uint32_t KVTLNK_CALL KVTmemstats(uint32_t* field3Total, uint32_t* field4Total);
KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStart(uint32_t* itemCount);
KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStep(uint32_t* remaining);
KVTLNK_API uint32_t KVTLNK_CALL KVTclear(void);
KVTLNK_API uint32_t KVTLNK_CALL KVTuplStart(uint32_t* itemCount);
KVTLNK_API uint32_t KVTLNK_CALL KVTuplStep(uint32_t* remaining);

/* ---- MEM: building the procedure memory ---- */
KVTLNK_API void KVTLNK_CALL MEMclear(void);
KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyDefn(uint32_t* index, const char* name, int32_t count,
                                                const float* points);
KVTLNK_API uint32_t KVTLNK_CALL MEMcheckPromptDefn(const char* text, uint32_t* fittingLength);
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefn(const char* name, const char* text);
KVTLNK_API uint32_t KVTLNK_CALL MEMstartTask(const char* name);
KVTLNK_API uint32_t KVTLNK_CALL MEMprompt(const char* promptDefnName);
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplate(uint32_t strategyIndex, uint32_t flag,
                                            const char* text1, const char* text2,
                                            uint32_t setupIndex);
KVTLNK_API uint32_t KVTLNK_CALL MEMendTask(void);
KVTLNK_API void KVTLNK_CALL MEMused(uint32_t* bytes);
KVTLNK_API void KVTLNK_CALL MEMstats(uint32_t* procedureRecords, uint32_t* resultRecords);

/* ---- MEM: reading the image ----
 * Caller buffers: task, prompt and prompt-definition names and both template texts 33 bytes;
 * strategy names 21 bytes; MEMstrategyInfo's points maxPoints floats; MEMpromptDefnInfo's text
 * textSize bytes (the text is cut to textSize - 1 characters). Texts of uploaded records that
 * are longer are cut to these sizes. MEMdump takes a directory path of at most 238 characters
 * (a longer one writes nothing); the directory must exist. */
KVTLNK_API uint32_t KVTLNK_CALL MEMpDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second);
KVTLNK_API uint32_t KVTLNK_CALL MEMrDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second);
KVTLNK_API uint32_t KVTLNK_CALL MEMtaskInfo(int32_t index, char* name, uint32_t* taskWord);
KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyInfo(int32_t index, char* name, int32_t* count,
                                                int32_t maxPoints, float* points);
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateInfo(int32_t index, uint32_t* strategyIndex,
                                                uint32_t* flag, char* text1, char* text2);
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateState(int32_t index);
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptInfo(int32_t index, char* name);
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefnInfo(int32_t index, char* name, uint32_t* textLength,
                                                  int32_t textSize, char* text);
KVTLNK_API void KVTLNK_CALL MEMdump(const char* directory);

/* ---- MEM: calibration results ---- */
KVTLNK_API uint32_t KVTLNK_CALL MEMcalResult(int32_t index, uint32_t* entryCount);
KVTLNK_API uint32_t KVTLNK_CALL MEMcalResultEntry(int32_t index, int32_t entry, float* inValue,
                                                  uint32_t* inFlag, float* inLimit, float* outValue,
                                                  uint32_t* outFlag, float* outLimit,
                                                  float* thirdValue);
KVTLNK_API uint32_t KVTLNK_CALL MEMbaseState(int32_t index);
KVTLNK_API uint32_t KVTLNK_CALL MEMasflInfo(int32_t index, uint32_t* taskIndex,
                                            uint32_t* strategyIndex, uint32_t* flag);
KVTLNK_API uint32_t KVTLNK_CALL MEMtagidInfo(uint32_t index, char* text1, char* text2, char* text3);

/* ---- STA: setup state, setters ---- */
KVTLNK_API uint32_t KVTLNK_CALL STAinit(void); /* returns 1 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetInput(const char* function, const char* sensor);
KVTLNK_API uint32_t KVTLNK_CALL STAsetInputRange(uint32_t automatic, float value);
KVTLNK_API uint32_t KVTLNK_CALL STAsetOutput(const char* function, const char* sensor, float value,
                                             float amplitude);
KVTLNK_API uint32_t KVTLNK_CALL STAsetLoopPower(const char* loopPower);
KVTLNK_API uint32_t KVTLNK_CALL STAsetTempUnits(const char* units);
KVTLNK_API uint32_t KVTLNK_CALL STAsetPresUnits(const char* units);
KVTLNK_API uint32_t KVTLNK_CALL STAsetTempStd(const char* standard);
KVTLNK_API uint32_t KVTLNK_CALL STAsetTref(const char* mode, float temperature);
KVTLNK_API uint32_t KVTLNK_CALL STAsetInputScale(float first, float second);
KVTLNK_API uint32_t KVTLNK_CALL STAsetOutputScale(float first, float second);
KVTLNK_API uint32_t KVTLNK_CALL STAsetTestTolerance(float tolerance);
KVTLNK_API uint32_t KVTLNK_CALL STAsave(int32_t* index);
KVTLNK_API uint32_t KVTLNK_CALL STArestore(int32_t resultsIndex);

/* ---- STA: setup state, getters ---- */
KVTLNK_API uint32_t KVTLNK_CALL STAgetInput(char* function, char* sensor, uint32_t* valid,
                                            uint32_t* settled, float* primary, float* secondary);
KVTLNK_API uint32_t KVTLNK_CALL STAgetOutput(char* function, char* sensor, uint32_t* set,
                                             uint32_t* confirmed, float* primary, float* secondary);
KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMax(float* maximum, float* minimum);
KVTLNK_API uint32_t KVTLNK_CALL STAgetInputString(char* primary, char* secondary);
KVTLNK_API uint32_t KVTLNK_CALL STAgetOutputString(char* primary, char* secondary);
KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMaxString(char* maximum, char* minimum);
KVTLNK_API void KVTLNK_CALL STAgetInputRange(uint32_t* automatic, float* highLimit);
KVTLNK_API void KVTLNK_CALL STAgetLoopPower(char* loopPower);
KVTLNK_API void KVTLNK_CALL STAgetScaled(uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                                         float* outP1, float* outP2);
KVTLNK_API void KVTLNK_CALL STAgetInputScale(float* first, float* second);
KVTLNK_API void KVTLNK_CALL STAgetOutputScale(float* first, float* second);
KVTLNK_API void KVTLNK_CALL STAgetTestTolerance(float* tolerance);
KVTLNK_API void KVTLNK_CALL STAgetPressure(char* text1, char* text2, uint32_t* present);
KVTLNK_API char* KVTLNK_CALL STAgetTempUnits(char* units);
KVTLNK_API char* KVTLNK_CALL STAgetPresUnits(char* units);
KVTLNK_API char* KVTLNK_CALL STAgetTempStd(char* standard);
KVTLNK_API char* KVTLNK_CALL STAgetTref(char* mode, float* temperature);

/* ---- STA: logged data ---- */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogData(uint32_t* count, uint32_t* interval,
                                              uint32_t* requested);
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogStart(uint32_t* year, uint32_t* month, uint32_t* day,
                                               uint32_t* hour, uint32_t* minute, uint32_t* second);
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogMinMax(float* minimum, float* maximum);
KVTLNK_API uint32_t KVTLNK_CALL STAgetLoggedData(uint32_t index, uint32_t* valid, float* value);

#ifdef __cplusplus
}
#endif

#endif /* KVTLNK_KVTLNK_H */
