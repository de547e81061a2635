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
 * (a longer one writes nothing); the directory must exist, and should be one that only the
 * application's user can write to. Each dump file is made afresh: a file, or a symbolic or hard
 * link, that stands under a dump file's name is removed first, never written through. */
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
/**
 * @ingroup read
 * Loads the setup a template names into the library's setup, so that the STA calls show and
 * edit it: the setup record is restored and committed.
 * @param[in]  index  procedure-memory index of a TEMPLATE record.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no template at the index, a field
 *         runs past the record's end, its strategy does not decode, its setup record cannot be
 *         restored, or the setup lacks the input or the output scale. After a failure the
 *         library's setup may hold part of the template's setup.
 * @see MEMtemplateInfo, STAsave
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateState(int32_t index);
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptInfo(int32_t index, char* name);
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefnInfo(int32_t index, char* name, uint32_t* textLength,
                                                  int32_t textSize, char* text);
KVTLNK_API void KVTLNK_CALL MEMdump(const char* directory);

/* ---- MEM: calibration results ---- */
/**
 * @ingroup results
 * Number of test points of a calibration result, one entry each.
 * @param[in]  index       results-memory index of a calibration result.
 * @param[out] entryCount  number of entries; may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no calibration result at the index,
 *         it runs short, its setup is not a form-5 setup record, or its strategy does not
 *         decode or has another number of points.
 * @see MEMcalResultEntry
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMcalResult(int32_t index, uint32_t* entryCount);
/**
 * @ingroup results
 * One test point of a calibration result in base units (volts, amps, ohms, hertz; degrees and
 * pressures in the setup's units), each with the upper limit of the range it was taken in.
 * The setup the result ran with is decoded on an object of its own: the library's setup is
 * not changed.
 * @param[in]  index       results-memory index of a calibration result.
 * @param[in]  entry       0 ... entry count - 1.
 * @param[out] inValue     the measured value; for a flagged result the reading after
 *                         adjustment.
 * @param[out] inFlag      1 when the measured value is present (always for a flagged result).
 * @param[out] inLimit     upper limit of the measure range; 0.0 when there is none.
 * @param[out] outValue    the sourced value.
 * @param[out] outFlag     1 when the sourced value is present.
 * @param[out] outLimit    upper limit of the source range; 0.0 when there is none.
 * @param[out] thirdValue  the entry's third value, or a quiet NaN when it holds none.
 *                         Every output may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) for what MEMcalResult refuses, an entry outside
 *         0 ... count - 1, a setup that cannot be restored or lacks a scale; KVTLNK_E_IMAGE
 *         (2012) when no memory is left for the working setup.
 * @see MEMcalResult, MEMbaseState
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMcalResultEntry(int32_t index, int32_t entry, float* inValue,
                                                  uint32_t* inFlag, float* inLimit, float* outValue,
                                                  uint32_t* outFlag, float* outLimit,
                                                  float* thirdValue);
/**
 * @ingroup results
 * Loads the setup a calibration result was taken with into the library's setup, with the
 * pressure module and reference-junction temperature the result recorded.
 * @param[in]  index  results-memory index of a calibration result.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) for what MEMcalResultEntry refuses; the library's
 *         setup may then hold part of the result's setup.
 * @see MEMcalResultEntry, MEMtemplateState
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMbaseState(int32_t index);
/**
 * @ingroup results
 * The task and strategy a calibration result came from, and its flag.
 * @param[in]  index          results-memory index of a calibration result.
 * @param[out] taskIndex      procedure index of the TASK_START of the template that names the
 *                            result's setup, found from that setup on; 0x7FFFFFFF when no task
 *                            starts before it; 0xFFFFFFFF when the setup lies in the results
 *                            memory or no template names it.
 * @param[out] strategyIndex  procedure index of the result's strategy.
 * @param[out] flag           1 when the result is flagged, else 0. Outputs may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) for what MEMcalResult refuses.
 * @see MEMtaskInfo, MEMstrategyInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMasflInfo(int32_t index, uint32_t* taskIndex,
                                            uint32_t* strategyIndex, uint32_t* flag);
/**
 * @ingroup results
 * The three tag texts that name the item a calibration result was taken on: those of the
 * TAG_ID record right after the result.
 * @param[in]  index  results-memory index of the result.
 * @param[out] text1  first text, 33 bytes (longer texts are cut); empty on failure.
 * @param[out] text2  second text, 33 bytes.
 * @param[out] text3  third text, 33 bytes. Outputs may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_NO_TAG (2026) when the next record is missing, is not a TAG_ID,
 *         or does not hold three terminated texts.
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtagidInfo(uint32_t index, char* text1, char* text2, char* text3);

/* ---- STA: setup state, setters ---- */
KVTLNK_API uint32_t KVTLNK_CALL STAinit(void); /* returns 1 */
/**
 * @ingroup setup
 * Chooses what the calibrator measures. The range is then chosen automatically (for "tc" and
 * the RTD functions it is the sensor's own range), the min/max record starts again and the input
 * scale is dropped when the function changes. Readings are in the function's base units; "tc"
 * and the RTD functions measure in the current temperature units, "pressure" in the current
 * pressure units.
 * @param[in] function  "none", "current", "dcv", "acv", "freq", "freq_low", "2w_ohms",
 *                      "3w_ohms", "4w_ohms", "cont", "tc", "2w_rtd", "3w_rtd", "4w_rtd" or
 *                      "pressure", lowercase and exact.
 * @param[in] sensor    for "tc" a thermocouple: "tc_e", "tc_n", "tc_j", "tc_k", "tc_t", "tc_b",
 *                      "tc_r", "tc_s", "tc_c", "tc_l", "tc_u"; for an RTD function an RTD:
 *                      "rtd_pt100_392", "rtd_pt100_385", "rtd_ni120", "rtd_pt200_385",
 *                      "rtd_pt500_385", "rtd_pt1000_385", "rtd_cu10", "rtd_pt100_3916". Not read
 *                      for other functions (may be NULL).
 * @return KVTLNK_OK; KVTLNK_W_LOOP_POWER_OFF (100) when loop power was switched off to allow
 *         "freq_low", an ohms function, "cont" or an RTD; KVTLNK_W_OUTPUT_TO_NONE (102) when the
 *         output was set to "none" because it cannot run beside the new input ("freq_low" beside
 *         any output, "tc" beside "tc", "pressure" beside "pressure", "current", an ohms function,
 *         "cont" or an RTD beside a current source or sink); KVTLNK_W_OUTPUT_TO_NONE_LOOP_OFF
 *         (105) for both; KVTLNK_E_COMBINATION (2003) for "current_sink" (a source function) or
 *         the sensor "none"; KVTLNK_E_ARGUMENT (2013) when a name (or a sensor name the function
 *         needs) is not in its list, or NULL. Errors leave the setup as it was; warnings keep the
 *         new input and the change they name.
 * @see STAsetInputRange, STAsetOutput, STAsetLoopPower
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetInput(const char* function, const char* sensor);
/**
 * @ingroup setup
 * Fixes the input range, or returns to automatic ranging, for the input functions that have
 * ranges to choose from: "current", "dcv", "acv", "2w_ohms", "3w_ohms" and "4w_ohms".
 * @param[in] automatic  nonzero: automatic ranging (value is not read); 0: a fixed range.
 * @param[in] value      with automatic 0, a reading the range must hold, in amps, volts or ohms;
 *                       the lowest range whose limits hold it is chosen ("current" and "dcv" by
 *                       its magnitude).
 * @return KVTLNK_OK; KVTLNK_E_INPUT_RANGE (2006) when the input is another function (the setup
 *         is not touched); KVTLNK_E_NO_VALUE (2008) when no range of the function holds the value
 *         (also for a value that is not a number).
 * @see STAsetInput, STAgetInputRange
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetInputRange(uint32_t automatic, float value);
/**
 * @ingroup setup
 * Chooses what the calibrator sources and the value. The range is chosen automatically: the
 * current range is kept while the value stays within its own limits. The value is then rounded
 * to the resolution the display shows in that range (0.05 V is sourced as 50.000 mV). A new
 * function starts without output scale, transfer function or stepping.
 * @param[in] function   "none", "current", "current_sink", "dcv", "freq", "2w_ohms", "tc",
 *                       "2w_rtd" or "pressure"; the other function names are measure-only.
 * @param[in] sensor     for "tc" and "2w_rtd" the sensor, as in STAsetInput; not read otherwise.
 * @param[in] value      in amps, volts, hertz or ohms; for "tc" and "2w_rtd" a temperature in
 *                       the current temperature units. Not read for "none" and "pressure": a
 *                       pressure output starts at its default, without a pressure value.
 * @param[in] amplitude  for "freq" only: the signal's amplitude in volts, 0 to 10.0001.
 * @return KVTLNK_OK; KVTLNK_W_LOOP_POWER_OFF (100) when loop power was switched off for a
 *         current source or sink; KVTLNK_W_INPUT_TO_DCV (101) when the input was set to "dcv"
 *         because it cannot run beside the new output (an input "freq_low", "tc" beside "tc",
 *         "pressure" beside "pressure", or "current", an ohms function, "cont" or an RTD beside a
 *         current source or sink); KVTLNK_W_INPUT_TO_DCV_LOOP_OFF (104) for both;
 *         KVTLNK_E_TC_CONVERSION (2001) or KVTLNK_E_RTD_CONVERSION (2002) when the sensor's
 *         electrical value for the temperature fits no source range (the setting is kept and the
 *         lowest electrical value sourced); KVTLNK_E_COMBINATION (2003) for a measure-only
 *         function (such as "acv", "3w_rtd") or the sensor "none"; KVTLNK_E_OUTPUT_RANGE (2004)
 *         when the value fits no range of the function (or is not a number), or the amplitude is
 *         outside 0 to 10.0001 V; KVTLNK_E_ARGUMENT (2013) when a name is not in its list, or
 *         NULL. Errors keep the previous output and sensor.
 * @see STAsetInput, STAsetTempUnits, STAsetTref
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetOutput(const char* function, const char* sensor, float value,
                                             float amplitude);
/**
 * @ingroup setup
 * Switches the calibrator's loop supply. "24v" and "28v" are on; "off" and "none" are off.
 * Switching it on makes way for it: an input "freq_low", ohms, "cont" or RTD becomes "dcv",
 * else a current source or sink becomes "none".
 * @param[in] loopPower  "none", "off", "24v" or "28v".
 * @return KVTLNK_OK (also when nothing changes); KVTLNK_W_INPUT_TO_DCV (101) or
 *         KVTLNK_W_OUTPUT_TO_NONE (102) for the side that gave way; KVTLNK_E_ARGUMENT (2013) when
 *         the name is not in the list, or NULL.
 * @see STAgetLoopPower
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetLoopPower(const char* loopPower);
/**
 * @ingroup setup
 * Chooses the temperature units. A thermocouple or RTD output goes on sourcing the same
 * temperature, now given in the new units (100 degrees C becomes 212 degrees F); a temperature
 * input is re-selected in them; both reference-junction sides take the user reference temperature
 * in the new units. The input and output scales are dropped when such a function is in use.
 * @param[in] units  "celsius" or "fahrenheit".
 * @return KVTLNK_OK; KVTLNK_E_TC_CONVERSION (2001) or KVTLNK_E_RTD_CONVERSION (2002) when a
 *         temperature source's electrical value still fits no source range;
 *         KVTLNK_E_ARGUMENT (2013) for any other name (pressure units included), or NULL.
 * @see STAgetTempUnits, STAsetOutput
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetTempUnits(const char* units);
/**
 * @ingroup setup
 * Chooses the pressure units. A pressure output keeps its pressure and has its range rebuilt in
 * the new units (its output scale is dropped); a pressure input is re-selected in them.
 * @param[in] units  "psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar" or "kpa".
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for any other name (temperature units included),
 *         or NULL.
 * @see STAgetPresUnits
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetPresUnits(const char* units);
/**
 * @ingroup setup
 * Chooses the temperature standard of the thermocouple and RTD curves; the electrical value of a
 * temperature source is computed again with the new curves.
 * @param[in] standard  "its90" or "ipts68".
 * @return KVTLNK_OK (also when nothing changes); KVTLNK_E_TC_CONVERSION (2001) or
 *         KVTLNK_E_RTD_CONVERSION (2002) when the recomputed value fits no source range (the
 *         standard is kept); KVTLNK_E_ARGUMENT (2013) for any other name (capitals included), or
 *         NULL.
 * @see STAgetTempStd
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetTempStd(const char* standard);
/**
 * @ingroup setup
 * Chooses the thermocouple reference junction of both sides: measured by the calibrator, or a
 * temperature the user gives.
 * @param[in] mode         "measure" (the temperature is not read and the last user temperature
 *                         is kept) or "user".
 * @param[in] temperature  for "user": the junction's temperature in the current temperature
 *                         units, -100 to 400 degrees C (-148 to 752 degrees F)
 *                         inclusive.
 * @return KVTLNK_OK; KVTLNK_E_TC_CONVERSION (2001) when the user temperature is outside the
 *         limits or not a number (nothing is stored), or when a thermocouple source's EMF with
 *         the new junction fits no source range (the junction is kept); KVTLNK_E_ARGUMENT (2013)
 *         when the mode is not in the list, or NULL.
 * @see STAgetTref
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetTref(const char* mode, float temperature);
/**
 * @ingroup setup
 * Stores the input scale pair of the setup as given (no order between the two is required); it
 * is dropped when the input function changes or when units change under a temperature or
 * pressure input, and dropping it switches the test tolerance off.
 * @param[in] first   first scale value, in the units the application's procedure uses.
 * @param[in] second  second scale value, same units.
 * @return KVTLNK_OK always.
 * @see STAgetInputScale
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetInputScale(float first, float second);
/**
 * @ingroup setup
 * Stores the output scale pair of the setup as given (no order between the two is required); it
 * is dropped when the output function changes or when units change under a temperature or
 * pressure output, and dropping it switches the test tolerance off.
 * @param[in] first   first scale value, in the units the application's procedure uses.
 * @param[in] second  second scale value, same units.
 * @return KVTLNK_OK always.
 * @see STAgetOutputScale
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetOutputScale(float first, float second);
/**
 * @ingroup setup
 * Stores the test tolerance of the setup and switches it on; dropping an input or output scale
 * switches it off again.
 * @param[in] tolerance  the tolerance, stored as given for the calibrator's test.
 * @return KVTLNK_OK always.
 * @see STAgetTestTolerance
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetTestTolerance(float tolerance);
/**
 * @ingroup setup
 * Saves the setup into a new setup record at the end of the procedure memory, for a template
 * to name. The record's form follows from the setup code; a thermocouple above type 9 or an
 * RTD from type 4 on needs the calibrator's later firmware.
 * @param[out] index  procedure index of the record; -1 on failure.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for a NULL index; KVTLNK_E_IMAGE (2012) when the
 *         setup code names no form or the record does not fit; KVTLNK_E_NOT_ACCEPTED (2005)
 *         when the accepted calibrator's firmware cannot take the setup, or a calibrator was
 *         refused: the record is removed again.
 * @see MEMtemplate, STArestore
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsave(int32_t* index);
/**
 * @ingroup setup
 * Replaces the setup with a setup record of the results memory, log included (the newest
 * 8000 samples), and commits it.
 * @param[in]  resultsIndex  results-memory index of a setup record.
 * @return KVTLNK_OK; KVTLNK_E_NOT_ACCEPTED (2005) when there is no setup record at the index,
 *         or it has another version, sensor types the calibrator does not have, or fewer
 *         bytes than its blocks (the setup is then unchanged); KVTLNK_E_TC_CONVERSION (2001)
 *         or KVTLNK_E_RTD_CONVERSION (2002) when the restored temperature source fits no
 *         source range.
 * @see STAsave, STAgetLogData
 */
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
/**
 * @ingroup setup
 * Reports the units temperatures are shown in: those of the input when it measures "tc" or an
 * RTD, else those of the output when it sources one, else the setup's temperature units.
 * @param[out] units  receives "celsius" or "fahrenheit" (an empty text for a units code without
 *                    a name, as a damaged restored setup may hold); 16 bytes.
 * @return units, or NULL (and nothing done) when units is NULL.
 * @see STAsetTempUnits
 */
KVTLNK_API char* KVTLNK_CALL STAgetTempUnits(char* units);
/**
 * @ingroup setup
 * Reports the units pressures are shown in: those of a pressure input, else of a pressure
 * output, else the setup's pressure units.
 * @param[out] units  receives "psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar" or "kpa" (an
 *                    empty text for a code without a name); 16 bytes.
 * @return units, or NULL (and nothing done) when units is NULL.
 * @see STAsetPresUnits
 */
KVTLNK_API char* KVTLNK_CALL STAgetPresUnits(char* units);
/**
 * @ingroup setup
 * Reports the temperature standard of the sensor curves.
 * @param[out] standard  receives "its90" or "ipts68" (an empty text for a code without a name);
 *                       16 bytes.
 * @return standard, or NULL (and nothing done) when standard is NULL.
 * @see STAsetTempStd
 */
KVTLNK_API char* KVTLNK_CALL STAgetTempStd(char* standard);
/**
 * @ingroup setup
 * Reports the reference junction: the input side's mode and the temperature that applies.
 * @param[out] mode         receives "measure" or "user" (an empty text for a code without a
 *                          name); 16 bytes.
 * @param[out] temperature  receives the junction temperature held for the input side when the
 *                          input is "tc", else the one held for the output side when the output
 *                          is "tc" (each in the temperature units current when it was set; a
 *                          units change carries both over), else the user temperature in the
 *                          current temperature units. May be NULL: then only the mode is
 *                          reported.
 * @return mode, or NULL (and nothing done) when mode is NULL.
 * @see STAsetTref
 */
KVTLNK_API char* KVTLNK_CALL STAgetTref(char* mode, float* temperature);

/* ---- STA: logged data ---- */
/**
 * @ingroup logs
 * The counts of the log that the last restore brought in.
 * @param[out] count      samples present.
 * @param[out] interval   the log's interval.
 * @param[out] requested  samples the log was set up to take. Outputs may be NULL.
 * @return KVTLNK_OK.
 * @see STArestore, STAgetLoggedData
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogData(uint32_t* count, uint32_t* interval,
                                              uint32_t* requested);
/**
 * @ingroup logs
 * When the log started; 1992-01-01 00:00:00 when no log was ever restored.
 * @param[out] year    full year.
 * @param[out] month   1 ... 12.
 * @param[out] day     1 ... 31.
 * @param[out] hour    0 ... 23.
 * @param[out] minute  0 ... 59.
 * @param[out] second  0 ... 59. Outputs may be NULL.
 * @return KVTLNK_OK.
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogStart(uint32_t* year, uint32_t* month, uint32_t* day,
                                               uint32_t* hour, uint32_t* minute, uint32_t* second);
/**
 * @ingroup logs
 * The smallest and largest valid sample of the log; samples that are infinite or not a number
 * hold no reading and are skipped.
 * @param[out] minimum  smallest sample; 3.4028235e38 when there is none.
 * @param[out] maximum  largest sample; -3.4028235e38 when there is none. Outputs may be NULL.
 * @return KVTLNK_OK.
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLogMinMax(float* minimum, float* maximum);
/**
 * @ingroup logs
 * One sample of the log, oldest first.
 * @param[in]  index  0 ... count - 1.
 * @param[out] valid  1 for a valid sample, else 0.
 * @param[out] value  the sample, or 0.0. Outputs may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_NO_VALUE (2008) for an index past the last sample or a sample
 *         that holds no reading.
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLoggedData(uint32_t index, uint32_t* valid, float* value);

#ifdef __cplusplus
}
#endif

#endif /* KVTLNK_KVTLNK_H */
