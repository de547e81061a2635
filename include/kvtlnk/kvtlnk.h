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
 * texts (KVTgetK2x) 128, display strings KVTLNK_DISPLAY_STRING_SIZE, function/sensor/unit
 * names KVTLNK_NAME_SIZE.
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

/*
 * Caller buffer sizes of the STA getters, terminator included.
 *
 * Display strings (STAgetInputString, STAgetOutputString, STAgetMinMaxString) are what the
 * calibrator's display shows: the number, the range's prefix letter ("u", "m", "k", "M", "G",
 * or a space in a range of the base unit) and the unit symbol, with no separator, e.g.
 * " 52.300mV", "10.0000 V", "0.00psi"; or the markers "!!!!!!" (overload, or a minimum and
 * maximum not yet taken) and "------" (no valid reading, or an output not yet set). A function
 * without ranges (an output of "none") shows "<Nr>". The strings are in the calibrator's
 * character set: ASCII plus three single bytes of its display font, 0x81 (the ohm sign, after a
 * resistance), 0xB0 (the degree sign, before "C" or "F") and 0x89 (the subscript two of "inH2O"
 * and "ftH2O"). KVTLNK_DISPLAY_STRING_SIZE holds the longest string that any range of either
 * side shows at its limits, in any unit, and every pressure format: a continuity reading at its
 * full scale of 1e37 ohms. A value beyond every range, which only a restored setup can hold, is
 * cut to fit.
 */
#define KVTLNK_DISPLAY_STRING_SIZE 43
/* Function, sensor, unit, standard, reference-junction and loop-power names ("rtd_pt1000_385"). */
#define KVTLNK_NAME_SIZE 15
/* The first text of STAgetPressure (up to 15 characters); the second takes up to 9 (10 bytes). */
#define KVTLNK_PRESSURE_TEXT_SIZE 16

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

/* ---- STA: setup state, getters ----
 * Readings and display strings: a null pointer for any output leaves that output out. The
 * getters that return void report only through their outputs. */

/**
 * @ingroup readings
 * The measure side as the calibrator holds it: function and sensor names and the primary and
 * secondary readings in base units (volts, amps, ohms, hertz; temperatures in the temperature
 * units, pressures in the pressure units; a transfer-function value in % or user units).
 * @param[out] function   the input function name, e.g. "dcv", "tc"; KVTLNK_NAME_SIZE bytes.
 * @param[out] sensor     the thermocouple type for "tc", the RTD type for "2w_rtd", "3w_rtd"
 *                        and "4w_rtd", else ""; KVTLNK_NAME_SIZE bytes.
 * @param[out] valid      1 when the readings hold a valid measurement, else 0.
 * @param[out] settled    1 when the measurement is valid and has settled, else 0.
 * @param[out] primary    the reading shown large: the measured value, or under a transfer
 *                        function the scaled value.
 * @param[out] secondary  the reading behind it: the frequency of "acv", the resistance of
 *                        "cont", the EMF or resistance behind a temperature, or under a transfer
 *                        function the unscaled value; 0 for the other functions.
 * @return KVTLNK_OK; KVTLNK_E_TC_CONVERSION (2001) or KVTLNK_E_RTD_CONVERSION (2002) when the
 *         input side holds a thermocouple or RTD conversion failure; the outputs are written
 *         in every case.
 * @see STAgetInputString, STAsetInput
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetInput(char* function, char* sensor, uint32_t* valid,
                                            uint32_t* settled, float* primary, float* secondary);
/**
 * @ingroup readings
 * The source side: function and sensor names, the value set and the value behind it, in
 * base units.
 * @param[out] function   the output function name; KVTLNK_NAME_SIZE bytes.
 * @param[out] sensor     the thermocouple or RTD type of a temperature source, else "";
 *                        KVTLNK_NAME_SIZE bytes.
 * @param[out] set        1 once an output value has been set, else 0.
 * @param[out] confirmed  1 when the calibrator's output agrees with the setting, else 0.
 * @param[out] primary    the value as set (in % or user units under a transfer function;
 *                        0 for a pressure output, which the calibrator only measures).
 * @param[out] secondary  the amplitude of a "freq" output in volts, the EMF or resistance
 *                        sourced for a temperature, or under a transfer function the value in
 *                        real units; 0 for the other functions.
 * @return KVTLNK_OK; KVTLNK_E_TC_CONVERSION (2001) when the thermocouple temperature or its
 *         reference junction could not be converted to a sourced EMF, KVTLNK_E_RTD_CONVERSION
 *         (2002) likewise for an RTD resistance; the outputs are written in every case.
 * @see STAgetOutputString, STAsetOutput
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetOutput(char* function, char* sensor, uint32_t* set,
                                             uint32_t* confirmed, float* primary, float* secondary);
/**
 * @ingroup readings
 * The largest and smallest input readings since the min/max record was cleared, in base
 * units (in % or user units under transfer-function modes 1 to 4). Before any reading the
 * maximum is minus infinity and the minimum plus infinity.
 * @param[out] maximum  the largest reading.
 * @param[out] minimum  the smallest reading.
 * @return as STAgetInput; the outputs are written in every case.
 * @see STAgetMinMaxString
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMax(float* maximum, float* minimum);
/**
 * @ingroup readings
 * The input readings as the calibrator's display shows them (see the buffer sizes above).
 * @param[out] primary    the measured value, "!!!!!!" on overload, "------" without a valid
 *                        reading; KVTLNK_DISPLAY_STRING_SIZE bytes.
 * @param[out] secondary  the secondary reading of STAgetInput, or "" when the function has
 *                        none; KVTLNK_DISPLAY_STRING_SIZE bytes.
 * @return as STAgetInput; the strings are written in every case.
 * @see STAgetInput
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetInputString(char* primary, char* secondary);
/**
 * @ingroup readings
 * The output setting as the calibrator's display shows it.
 * @param[out] primary    the value set, "------" before any is set; KVTLNK_DISPLAY_STRING_SIZE
 *                        bytes.
 * @param[out] secondary  the secondary value of STAgetOutput, or "" when the function has
 *                        none; KVTLNK_DISPLAY_STRING_SIZE bytes.
 * @return as STAgetOutput; the strings are written in every case.
 * @see STAgetOutput
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetOutputString(char* primary, char* secondary);
/**
 * @ingroup readings
 * The maximum and minimum input readings as the display shows them; both "!!!!!!" until a
 * reading has been taken.
 * @param[out] maximum  KVTLNK_DISPLAY_STRING_SIZE bytes.
 * @param[out] minimum  KVTLNK_DISPLAY_STRING_SIZE bytes.
 * @return as STAgetInput; the strings are written in every case.
 * @see STAgetMinMax
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetMinMaxString(char* maximum, char* minimum);
/**
 * @ingroup readings
 * How the input range is chosen and how far it reaches. Returns nothing.
 * @param[out] automatic  1 when the calibrator chooses the range, 0 for a fixed range.
 * @param[out] highLimit  the range's high limit in base units; for "tc" and the RTD functions
 *                        the sensor's own limit in the temperature units (1374 for "tc_k" in
 *                        celsius); 0 when the input has no range.
 * @see STAsetInputRange
 */
KVTLNK_API void KVTLNK_CALL STAgetInputRange(uint32_t* automatic, float* highLimit);
/**
 * @ingroup readings
 * The loop power setting. Returns nothing.
 * @param[out] loopPower  "none", "off", "24v" or "28v"; KVTLNK_NAME_SIZE bytes.
 * @see STAsetLoopPower
 */
KVTLNK_API void KVTLNK_CALL STAgetLoopPower(char* loopPower);
/**
 * @ingroup readings
 * The transfer functions of both sides. Returns nothing.
 * @param[out] inOn   1 when the input reading is scaled, else 0.
 * @param[out] inP1   first parameter of the input transfer function.
 * @param[out] inP2   second parameter of the input transfer function.
 * @param[out] outOn  1 when the output value is scaled, else 0.
 * @param[out] outP1  first parameter of the output transfer function (offset, or the
 *                    electrical value at 0 %).
 * @param[out] outP2  second parameter (gain, or the electrical value at 100 %).
 * @see STAsetInputScale, STAsetOutputScale
 */
KVTLNK_API void KVTLNK_CALL STAgetScaled(uint32_t* inOn, float* inP1, float* inP2, uint32_t* outOn,
                                         float* outP1, float* outP2);
/**
 * @ingroup readings
 * The two values last given to STAsetInputScale, in the same order (0 and 0 before any).
 * Returns nothing.
 * @param[out] first   the first value.
 * @param[out] second  the second value.
 * @see STAsetInputScale
 */
KVTLNK_API void KVTLNK_CALL STAgetInputScale(float* first, float* second);
/**
 * @ingroup readings
 * The two values last given to STAsetOutputScale, in the same order (0 and 0 before any).
 * Returns nothing.
 * @param[out] first   the first value.
 * @param[out] second  the second value.
 * @see STAsetOutputScale
 */
KVTLNK_API void KVTLNK_CALL STAgetOutputScale(float* first, float* second);
/**
 * @ingroup readings
 * The test tolerance last set (0 before any). Returns nothing.
 * @param[out] tolerance  the tolerance.
 * @see STAsetTestTolerance
 */
KVTLNK_API void KVTLNK_CALL STAgetTestTolerance(float* tolerance);
/**
 * @ingroup readings
 * The texts of the attached pressure module, as the calibrator identified it; both "" when
 * none is known. Returns nothing.
 * @param[out] text1    the module's second text (up to 15 characters); KVTLNK_PRESSURE_TEXT_SIZE
 *                      bytes.
 * @param[out] text2    the module's first text (up to 9 characters); 10 bytes.
 * @param[out] present  1 when a pressure module is attached, else 0.
 */
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
