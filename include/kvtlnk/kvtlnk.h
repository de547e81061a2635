/**
 * @file kvtlnk.h
 * @brief kvtlnk: support library for the K27 process calibrator.
 *
 * Three families of C entry points:
 * - KVT...  the session with a calibrator on a serial port: open, identify, download, upload;
 * - MEM...  the memory image: procedure definitions, directories, results, dump files;
 * - STA...  the calibrator's setup: functions, ranges, units, readings and display strings.
 *
 * Every call returns a result code (KVTLNK_OK, a warning 100-105 or an error 2000-2026) unless
 * its comment says otherwise; kvtlnkMessage() in kvtlnk_messages.h gives the text of each. A
 * warning means the call did its work and something else changed to allow it, so test for
 * failure with KVTLNK_FAILED(), not against KVTLNK_OK:
 * @code{.c}
 * uint32_t rc = STAsetOutput("current", "", 0.012f, 0.0f);
 * if (!KVTLNK_FAILED(rc)) rc = STAsetLoopPower("24v"); // a warning: the output became "none"
 * if (KVTLNK_FAILED(rc)) fprintf(stderr, "error %u: %s\n", rc, kvtlnkMessage(rc));
 * else if (rc != KVTLNK_OK) fprintf(stderr, "warning %u: %s\n", rc, kvtlnkMessage(rc));
 * @endcode
 * STAinit() alone reports success as 1 (KVTLNK_STAINIT_DONE). Texts are zero-terminated 8-bit
 * strings in the calibrator's character set. The library holds one session, one memory image
 * and one setup per process and takes no lock: call it from one thread at a time.
 *
 * Output buffers: each parameter's page names the size its buffer needs, a constant of this
 * header (KVTLNK_TEXT_SIZE for names and template texts, KVTLNK_STRATEGY_NAME_SIZE,
 * KVTLNK_MODEL_SIZE and the other identification texts of KVTgetK2x, KVTLNK_DISPLAY_STRING_SIZE,
 * KVTLNK_NAME_SIZE for function, sensor and unit names, KVTLNK_VERSION_SIZE ...) or another
 * parameter of the call (MEMpromptDefnInfo's textSize).
 */
#ifndef KVTLNK_KVTLNK_H
#define KVTLNK_KVTLNK_H

#include <stdint.h>

/**
 * @defgroup session Session and transfers
 * The one session of the process with a calibrator on a serial port, and the transfers of its
 * memories.
 *
 * The calibrator keeps two memories of 1,048,576 bytes each: the procedure memory (tasks,
 * strategies, prompts, tests and the setups they use) and the results memory (what the user
 * recorded in the field). A download replaces the calibrator's procedure memory with the
 * library's image and then empties its results memory; an upload copies both memories into
 * the image, where the MEM reading calls decode them. Each transfer is a start call and one
 * step call per item, so the application can show progress; the calibrator's display shows it
 * too.
 *
 * Every exchange blocks the calling thread. The read time-out T given to KVTopen is its only
 * timer: every byte of a reply is waited for at most T, and a packet exchange makes at most a
 * attempts (KVTopen's retries), each ending when one read brings nothing within T. A silent
 * line (a calibrator switched off or not connected) fails an exchange after a x T; each call's
 * page gives X, the most packet exchanges it makes, so such a call returns within X x a x T,
 * plus the time its frames take on the line and one second where it restarts the link. A T of
 * 0 means no time-out: every read waits until its byte comes, so a calibrator that is switched
 * off holds the call for as long as it is off.
 *
 * A line that brings bytes without ever completing a frame (another device on the port,
 * noise) fails an exchange as a silent line does, with the same code: one attempt reads at most
 * 3 x (2n + 8) bytes, n the room of the packet it waits for (1024 for an acknowledgement or a
 * link answer, 256 at most for a reply packet), that is at most 6,168 bytes. However slowly they
 * come, an exchange therefore ends within a x 6,168 x T; a device that sends without pause at
 * 9600 baud uses up an attempt's bytes in 6.5 s. The limit leaves room for every frame the
 * calibrator sends, and for one that follows a frame whose tail was lost on the line.
 *
 * When the port reports that the device behind it is gone (a USB adapter or cable unplugged:
 * a hang-up, EIO or ENXIO on POSIX; a port the driver no longer answers for on Windows), the
 * exchange that finds it stops without further attempts and fails with its usual code
 * (KVTLNK_E_SEND (2020) for a command not acknowledged, KVTLNK_E_NO_REPLY (2021) for a reply
 * that did not come); every later call of the session fails at once with KVTLNK_E_NO_LINK
 * (2019), KVTclose included (which still closes the port). With KVTLNK_DEBUG at 2 the trace
 * says that the device is gone. Open the session again once the device is back.
 *
 * @code{.c}
 * uint32_t rc = KVTopen(9600, "/dev/ttyUSB0", 500, 5);
 * uint32_t remaining = 0;
 * if (!KVTLNK_FAILED(rc)) rc = KVTdnlStart(&remaining);
 * while (!KVTLNK_FAILED(rc) && remaining > 0) rc = KVTdnlStep(&remaining);
 * if (KVTLNK_FAILED(rc)) fprintf(stderr, "%u: %s\n", rc, kvtlnkMessage(rc));
 * KVTclose();
 * @endcode
 *
 * @defgroup build Building procedures
 * The calls that build the procedure memory in the library's image, ready for KVTdnlStart.
 *
 * None of them talks to the calibrator; each appends one record to the image's procedure
 * memory, in the order of the calls. The calibrator runs what it finds in this order, and
 * applications call:
 * 1. MEMclear(), which also lays down the nine standard strategies at indices 0 to 8;
 * 2. MEMstrategyDefn() and MEMpromptDefn() for further strategies and prompt texts, at any
 *    point before a task uses them;
 * 3. per task: the setups of its tests, each shaped with the STA setters and saved with
 *    STAsave(), which gives the index MEMtemplate() takes; then MEMstartTask(), the task's
 *    steps (MEMprompt() shows a prompt, MEMtemplate() runs a test) and MEMendTask().
 *
 * Saving a test's setup before its task starts is what lets MEMasflInfo() find the task of a
 * result later. MEMprompt() and MEMtemplate() do not check the names and indices they are
 * given.
 *
 * @defgroup read Reading procedures
 * The calls that read the library's image record by record: the directory of either memory
 * and the procedure records (tasks, strategies, tests, prompts, prompt definitions). After an
 * upload the image mirrors the calibrator. They never change the image.
 *
 * @defgroup results Results
 * The calls that decode the calibration results of the results memory after an upload.
 *
 * A result is found with MEMrDir(): directory codes 1 and 2 mark calibration results; the
 * record right after each is its tag. Every call selects its result afresh by index.
 *
 * @defgroup setup Setup editing
 * The calibrator's setup as the library holds it: what it measures and sources, ranges,
 * units, temperature standard, reference junction, scales, loop power and test tolerance.
 *
 * Each setter checks the change with the calibrator's own rules, applies it, and recomputes
 * what depends on it (the electrical value a source temperature needs, for example). A warning
 * (100-105) means the setting was made and something else changed to allow it; an error leaves
 * the setup as the call describes. STAsave() stores the setup in the image for a test.
 *
 * @defgroup readings Readings
 * The setup's readings and settings as numbers and as the calibrator's display shows them.
 *
 * @defgroup logs Logs
 * The log of readings that a restored setup carries.
 *
 * @defgroup codes Result codes
 * What the calls return: 0 for success, 100-105 for warnings (the call did its work and
 * something else changed to allow it), 2000-2026 for errors. STAinit() alone reports success
 * as 1. kvtlnkMessage() gives one line of text for each, saying what happened and what to do.
 *
 * No call throws into the application. Should the library run out of memory during a call, the
 * call stops and returns KVTLNK_E_IMAGE (2012); a call that returns a text returns NULL, and one
 * that returns nothing returns. What it had written by then stays written.
 *
 * Diagnostics: the serial driver's failures go to the debug output on Windows, and to standard
 * error on POSIX when the environment variable KVTLNK_DEBUG is set. With KVTLNK_DEBUG at 2 every
 * exchange with the calibrator follows them, at 3 also every call with its arguments and what it
 * returns.
 *
 * @defgroup compat Compatibility notes
 * Where the calls do, on purpose, other than the original contract that applications of the
 * K27 were written against. Each removes a hazard of that contract; both keep to its table of
 * result codes.
 *
 * - KVTuplStart: a directory line it refuses (a missing field, an index out of order, an item
 *   the image cannot take) ends the call with the same code as before, but the rest of that
 *   directory's reply is read first. Left unread, the calibrator would still be sending it:
 *   the next command would meet those packets in place of its own reply, fail, and cost a
 *   restart of the link. The call takes as long as the calibrator needs to send the rest.
 * - KVTdnlStep: a download sends exactly the records the image held at KVTdnlStart. A step
 *   after the last of them returns KVTLNK_E_ARGUMENT (2013), also when records were appended
 *   to the image in between, where the contract would send such a record and report a
 *   remaining count of 0xFFFFFFFF: a loop that steps while records remain would take it for
 *   four billion records still to come.
 */

#if defined(_WIN32) && !defined(_WIN64)
/** Calling convention of every entry point: stdcall in the 32-bit Windows DLL. */
#define KVTLNK_CALL __stdcall
#else
/** Calling convention of every entry point: the platform's own. */
#define KVTLNK_CALL
#endif

#if defined(KVTLNK_BUILDING) && !defined(_WIN32)
/** Marks the entry points that the library exports. */
#define KVTLNK_API __attribute__((visibility("default")))
#else
/** Marks the entry points that the library exports. */
#define KVTLNK_API
#endif

/** @addtogroup codes
 * @{ */
#define KVTLNK_OK 0u                          /**< done */
#define KVTLNK_W_LOOP_POWER_OFF 100u          /**< setting made; loop power switched off */
#define KVTLNK_W_INPUT_TO_DCV 101u            /**< setting made; input changed to "dcv" */
#define KVTLNK_W_OUTPUT_TO_NONE 102u          /**< setting made; output changed to "none" */
#define KVTLNK_W_STATUS_10027 103u            /**< never produced */
#define KVTLNK_W_INPUT_TO_DCV_LOOP_OFF 104u   /**< as 101, and loop power switched off */
#define KVTLNK_W_OUTPUT_TO_NONE_LOOP_OFF 105u /**< as 102, and loop power switched off */
#define KVTLNK_E_STATUS_15000 2000u           /**< never produced */
#define KVTLNK_E_TC_CONVERSION 2001u          /**< thermocouple source or reference junction */
#define KVTLNK_E_RTD_CONVERSION 2002u         /**< RTD source resistance fits no range */
#define KVTLNK_E_COMBINATION 2003u            /**< function, units and sensor do not go together */
#define KVTLNK_E_OUTPUT_RANGE 2004u           /**< output value fits no range */
#define KVTLNK_E_NOT_ACCEPTED 2005u           /**< model or firmware level does not take it */
#define KVTLNK_E_INPUT_RANGE 2006u            /**< input range not allowed */
#define KVTLNK_E_STATUS_15015 2007u           /**< never produced */
#define KVTLNK_E_NO_VALUE 2008u               /**< no range or no valid logged reading */
#define KVTLNK_E_STATUS_15017 2009u           /**< never produced */
#define KVTLNK_E_STATUS_15018 2010u           /**< never produced */
#define KVTLNK_E_STATUS_15019 2011u           /**< never produced */
#define KVTLNK_E_IMAGE 2012u                  /**< the image could not take it, or memory ran out */
#define KVTLNK_E_ARGUMENT 2013u               /**< invalid argument */
#define KVTLNK_E_RECORD 2014u                 /**< no decodable record of that kind there */
#define KVTLNK_E_PROMPT_FIT 2015u             /**< prompt text does not fit the display */
#define KVTLNK_E_STRATEGY_POINT 2016u         /**< strategy point outside 0.0 to 3.0 */
#define KVTLNK_E_NO_SESSION 2017u             /**< no session, or the port cannot be opened */
#define KVTLNK_E_REFUSED 2018u                /**< the calibrator refused the command */
#define KVTLNK_E_NO_LINK 2019u                /**< the packet link could not be brought up */
#define KVTLNK_E_SEND 2020u                   /**< a command packet was not acknowledged */
#define KVTLNK_E_NO_REPLY 2021u               /**< an expected reply packet did not arrive */
#define KVTLNK_E_BAD_REPLY 2022u              /**< a reply was malformed */
#define KVTLNK_E_DIRECTORY 2023u              /**< an uploaded item landed at another index */
#define KVTLNK_E_TOO_LONG 2024u               /**< a name or text is too long for its record */
#define KVTLNK_E_NO_TAG 2026u                 /**< no tag-identifier record after the result */
/** Whether a result code is an error (2000 and above): warnings 100-105 and STAinit's 1 are
 * success. @param rc  a result code. */
#define KVTLNK_FAILED(rc) ((rc) >= 2000u)
/** What STAinit returns, the one call whose success is not KVTLNK_OK. */
#define KVTLNK_STAINIT_DONE 1
/** @} */

/**
 * @ingroup readings
 * Caller buffer size of the display strings, terminator included.
 *
 * Display strings (STAgetInputString, STAgetOutputString, STAgetMinMaxString) are what the
 * calibrator's display shows: the number, the range's prefix letter ("u", "m", "k", "M", "G",
 * or a space in a range of the base unit) and the unit symbol, with no separator, e.g.
 * " 52.300mV", "10.0000 V", "0.00psi"; or the markers "!!!!!!" (overload, or a minimum and
 * maximum not yet taken) and "------" (no valid reading, or an output not yet set). A function
 * without ranges (an output of "none") shows "\<Nr\>". The strings are in the calibrator's
 * character set: ASCII plus three single bytes of its display font, 0x81 (the ohm sign, after a
 * resistance), 0xB0 (the degree sign, before "C" or "F") and 0x89 (the subscript two of "inH2O"
 * and "ftH2O"). KVTLNK_DISPLAY_STRING_SIZE holds the longest string that any range of either
 * side shows at its limits, in any unit, and every pressure format: a continuity reading at its
 * full scale of 1e37 ohms. A value beyond every range, which only a restored setup can hold, is
 * cut to fit.
 */
#define KVTLNK_DISPLAY_STRING_SIZE 43
/** @ingroup readings
 * Function, sensor, unit, standard, reference-junction and loop-power names ("rtd_pt1000_385"),
 * terminator included. */
#define KVTLNK_NAME_SIZE 15
/** @ingroup readings
 * The first text of STAgetPressure (up to 15 characters), terminator included. */
#define KVTLNK_PRESSURE_TEXT_SIZE 16
/** @ingroup readings
 * The second text of STAgetPressure (up to 9 characters), terminator included. */
#define KVTLNK_PRESSURE_TEXT2_SIZE 10
/** @ingroup readings
 * The buffers of STAgetTempUnits, STAgetPresUnits, STAgetTempStd and STAgetTref's mode,
 * terminator included. */
#define KVTLNK_SETTING_SIZE 16
/** @ingroup session
 * KVTversion's buffer, terminator included: "1.1" takes 4 bytes, and there is room for a
 * version such as "1.10" or "10.10". */
#define KVTLNK_VERSION_SIZE 8
/** @ingroup session
 * KVTgetK2x's model text buffer, terminator included (longer texts are cut to 127
 * characters). */
#define KVTLNK_MODEL_SIZE 128
/** @ingroup session
 * KVTgetK2x's serial-number (ident3) buffer, terminator included. */
#define KVTLNK_IDENT3_SIZE 128
/** @ingroup session
 * KVTgetK2x's firmware version buffer, terminator included. */
#define KVTLNK_FIRMWARE_SIZE 128
/** @ingroup read
 * The buffers of task, prompt and prompt-definition names and of template and tag texts: up to
 * 32 characters and the terminator. Longer texts of uploaded records are cut to fit. */
#define KVTLNK_TEXT_SIZE 33
/** @ingroup read
 * The buffer of a strategy name: up to 20 characters and the terminator. */
#define KVTLNK_STRATEGY_NAME_SIZE 21
/** @ingroup read
 * The longest directory path MEMdump takes, in characters; a longer one writes nothing. */
#define KVTLNK_DUMP_PATH_MAX 238
/** @ingroup results
 * MEMasflInfo's task index when no task starts before the setup the result names. */
#define KVTLNK_NO_TASK_BEFORE 0x7FFFFFFFu
/** @ingroup results
 * MEMasflInfo's task index when the result's setup lies in the results memory or no template
 * names it; also MEMtaskInfo's task word for a record that is not a task start. */
#define KVTLNK_NO_TASK 0xFFFFFFFFu

/**
 * @ingroup readings
 * The characters of the calibrator's display that are not the Latin-1 character of the same
 * byte, each as X(byte, Unicode code point, what it shows). The first row of a byte is the
 * character it reads as; a text written for the calibrator may use the code point of any of
 * its rows (the ohm sign has two). Every other byte is the Latin-1 character of its value:
 * 0xB0 is the degree sign. Texts that pass through the library keep these bytes unchanged.
 * @param X  a macro of three arguments, expanded once for each row.
 */
#define KVTLNK_GLYPHS(X)                  \
    X(0x80, 0x2009, "narrow space")       \
    X(0x81, 0x03A9, "ohm sign")           \
    X(0x81, 0x2126, "ohm sign")           \
    X(0x88, 0x2008, "space a digit wide") \
    X(0x89, 0x2082, "subscript two")      \
    X(0x8C, 0x2191, "up arrow")           \
    X(0x8D, 0x2193, "down arrow")

/**
 * @ingroup setup
 * The unit names the STA calls take and report, in the order of their codes, each as
 * X(name, symbol) with the symbol the display shows after a value, in the calibrator's
 * character set, its bytes above 0x7F in octal ("\260C" is degrees Celsius; see KVTLNK_GLYPHS).
 * @param X  a macro of two arguments, expanded once for each unit.
 */
#define KVTLNK_UNITS(X)      \
    X("none", "")            \
    X("volts", "V")          \
    X("amps", "A")           \
    X("ohms", "\201")        \
    X("hertz", "Hz")         \
    X("seconds", "s")        \
    X("celsius", "\260C")    \
    X("fahrenheit", "\260F") \
    X("percent", "%")        \
    X("psi", "psi")          \
    X("mm_hg", "mmHg")       \
    X("in_hg", "inHg")       \
    X("in_h2o", "inH\211O")  \
    X("ft_h2o", "ftH\211O")  \
    X("bar", "bar")          \
    X("kpa", "kPa")          \
    X("udf", "UDF")

/**
 * @ingroup setup
 * The function names of either side (STAsetInput, STAsetOutput, STAgetInput, STAgetOutput), in
 * the order of their codes, each as X(name, unit) with the unit its values are in: a name of
 * KVTLNK_UNITS, or "temperature" or "pressure" for the setup's temperature units
 * (STAgetTempUnits) or pressure units (STAgetPresUnits).
 * @param X  a macro of two arguments, expanded once for each function.
 */
#define KVTLNK_FUNCTIONS(X)    \
    X("none", "none")          \
    X("current", "amps")       \
    X("dcv", "volts")          \
    X("acv", "volts")          \
    X("freq", "hertz")         \
    X("freq_low", "hertz")     \
    X("2w_ohms", "ohms")       \
    X("3w_ohms", "ohms")       \
    X("4w_ohms", "ohms")       \
    X("cont", "ohms")          \
    X("tc", "temperature")     \
    X("2w_rtd", "temperature") \
    X("3w_rtd", "temperature") \
    X("4w_rtd", "temperature") \
    X("pressure", "pressure")  \
    X("current_sink", "amps")

/**
 * @ingroup setup
 * The names each STA setter takes, lowercase and exact, each list as X(name) expanded once for
 * each name; an application can offer them to its user, or list them beside a name the library
 * refused (KVTLNK_E_ARGUMENT). Every name fits KVTLNK_NAME_SIZE.
 *
 * What STAsetInput measures: every function of KVTLNK_FUNCTIONS but "current_sink", in the
 * order of their codes.
 * @param X  a macro of one argument.
 */
#define KVTLNK_INPUT_FUNCTIONS(X) \
    X("none")                     \
    X("current")                  \
    X("dcv")                      \
    X("acv")                      \
    X("freq")                     \
    X("freq_low")                 \
    X("2w_ohms")                  \
    X("3w_ohms")                  \
    X("4w_ohms")                  \
    X("cont")                     \
    X("tc")                       \
    X("2w_rtd")                   \
    X("3w_rtd")                   \
    X("4w_rtd")                   \
    X("pressure")
/** @ingroup setup
 * What STAsetOutput sources (as KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_OUTPUT_FUNCTIONS(X) \
    X("none")                      \
    X("current")                   \
    X("dcv")                       \
    X("freq")                      \
    X("2w_ohms")                   \
    X("tc")                        \
    X("2w_rtd")                    \
    X("pressure")                  \
    X("current_sink")
/** @ingroup setup
 * The thermocouples of "tc", in the order of their codes (as KVTLNK_INPUT_FUNCTIONS).
 * @param X  a macro of one argument. */
#define KVTLNK_THERMOCOUPLES(X) \
    X("tc_e")                   \
    X("tc_n")                   \
    X("tc_j")                   \
    X("tc_k")                   \
    X("tc_t")                   \
    X("tc_b")                   \
    X("tc_r")                   \
    X("tc_s")                   \
    X("tc_c")                   \
    X("tc_l")                   \
    X("tc_u")
/** @ingroup setup
 * The RTDs of "2w_rtd", "3w_rtd" and "4w_rtd", in the order of their codes (as
 * KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_RTDS(X)  \
    X("rtd_pt100_392")  \
    X("rtd_pt100_385")  \
    X("rtd_ni120")      \
    X("rtd_pt200_385")  \
    X("rtd_pt500_385")  \
    X("rtd_pt1000_385") \
    X("rtd_cu10")       \
    X("rtd_pt100_3916")
/** @ingroup setup
 * What STAsetTempUnits takes (as KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_TEMPERATURE_UNITS(X) \
    X("celsius")                    \
    X("fahrenheit")
/** @ingroup setup
 * What STAsetPresUnits takes (as KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_PRESSURE_UNITS(X) \
    X("psi")                     \
    X("mm_hg")                   \
    X("in_hg")                   \
    X("in_h2o")                  \
    X("ft_h2o")                  \
    X("bar")                     \
    X("kpa")
/** @ingroup setup
 * What STAsetLoopPower takes (as KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_LOOP_POWER(X) \
    X("none")                \
    X("off")                 \
    X("24v")                 \
    X("28v")
/** @ingroup setup
 * What STAsetTempStd takes (as KVTLNK_INPUT_FUNCTIONS). @param X  a macro of one argument. */
#define KVTLNK_TEMPERATURE_STANDARDS(X) \
    X("its90")                          \
    X("ipts68")
/** @ingroup setup
 * The reference-junction modes STAsetTref takes (as KVTLNK_INPUT_FUNCTIONS).
 * @param X  a macro of one argument. */
#define KVTLNK_JUNCTION_MODES(X) \
    X("measure")                 \
    X("user")
/**
 * @ingroup readings
 * The measure ranges of the electrical functions, each as X(function, high, resolution): the
 * range's upper limit in base units, as MEMcalResultEntry reports it for a reading taken in it
 * (inLimit), and the step in which the display shows a reading there, in base units (1e-06:
 * "3.999mA"). Temperatures show in steps of 0.1 degree (whole degrees with "rtd_cu10"), as
 * the source side shows them; pressures as the pressure module's display format gives.
 * @param X  a macro of three arguments, expanded once for each range.
 */
#define KVTLNK_INPUT_RANGES(X)    \
    X("current", 0.0331f, 1e-06)  \
    X("current", 0.113f, 1e-05)   \
    X("dcv", 0.1101f, 1e-06)      \
    X("dcv", 1.101f, 1e-05)       \
    X("dcv", 11.01f, 1e-04)       \
    X("dcv", 110.1f, 1e-03)       \
    X("dcv", 309.0f, 1e-02)       \
    X("acv", 1.101f, 1e-04)       \
    X("acv", 11.01f, 1e-03)       \
    X("acv", 110.1f, 1e-02)       \
    X("acv", 309.0f, 1e-01)       \
    X("freq", 110.1f, 1e-02)      \
    X("freq", 1100.1f, 1e-01)     \
    X("freq", 11001.0f, 1.0)      \
    X("freq", 51500.0f, 10.0)     \
    X("freq_low", 110.1f, 1e-02)  \
    X("freq_low", 1100.1f, 1e-01) \
    X("freq_low", 11001.0f, 1.0)  \
    X("freq_low", 51500.0f, 10.0) \
    X("2w_ohms", 11.01f, 1e-03)   \
    X("2w_ohms", 110.1f, 1e-02)   \
    X("2w_ohms", 1101.0f, 1e-01)  \
    X("2w_ohms", 11300.0f, 1.0)   \
    X("3w_ohms", 11.01f, 1e-03)   \
    X("3w_ohms", 110.1f, 1e-02)   \
    X("3w_ohms", 1101.0f, 1e-01)  \
    X("3w_ohms", 11300.0f, 1.0)   \
    X("4w_ohms", 11.01f, 1e-03)   \
    X("4w_ohms", 110.1f, 1e-02)   \
    X("4w_ohms", 1101.0f, 1e-01)  \
    X("4w_ohms", 11300.0f, 1.0)   \
    X("cont", 1e37f, 1e-03)

#ifdef __cplusplus
extern "C" {
#endif

/* ---- KVT: library version and the calibrator session ---- */
/**
 * @ingroup session
 * Writes the library's version, "1.1", with its terminator. Returns nothing and needs no
 * session.
 * @code{.c}
 * char version[KVTLNK_VERSION_SIZE];
 * KVTversion(version);
 * @endcode
 * @param[out] dst  receives the version; KVTLNK_VERSION_SIZE bytes. NULL: nothing is done.
 * @see KVTgetK2x
 */
KVTLNK_API void KVTLNK_CALL KVTversion(char* dst);
/**
 * @ingroup session
 * Accepts or refuses a calibrator by its model and firmware version, as KVTopen does with what
 * the calibrator reports, and sets the firmware level that decides which setups it can take.
 * Works with or without a session; until it is first called (directly or by KVTopen) the early
 * firmware rules apply.
 * @param[in] model            the model text; accepted when its first 9 characters are
 *                             "ORVAN K27" (case-sensitive).
 * @param[in] firmwareVersion  the firmware version text. "V1.0", "V1.1" and "V1.2" (followed
 *                             by anything but a point) are early firmware, which cannot run
 *                             setups for the thermocouples "tc_l" and "tc_u" or the RTDs from
 *                             "rtd_pt200_385" on; "V1.2." followed by more, and any other
 *                             version (or NULL), is later firmware, which runs every setup.
 * @return KVTLNK_OK; KVTLNK_E_NOT_ACCEPTED (2005) when the model is not accepted (or NULL):
 *         then no calibrator is accepted, KVTdnlStart refuses every image but an empty one and
 *         STAsave refuses every setup, until a model is accepted.
 * @see KVTopen, KVTdnlStart, STAsave
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTsetVersion(const char* model, const char* firmwareVersion);
/**
 * @ingroup session
 * Opens the session: opens the serial port, brings up the packet link with the calibrator,
 * identifies it (as KVTgetK2x) and accepts it by model and firmware version (as
 * KVTsetVersion). A session that is open is closed first. The library holds one session per
 * process.
 * @param[in] baud           the line speed; the calibrator runs at 9600 baud only, and any
 *                           other value is refused.
 * @param[in] portName       the serial port: on Windows "COM1" ... (COM10 and above
 *                           included); on POSIX a device path ("/dev/ttyUSB0", a pty, a
 *                           symbolic link), where "COMn" stands for "/dev/ttySn-1". The port is
 *                           held for exclusive use until KVTclose.
 * @param[in] readTimeoutMs  how long, in milliseconds, the port waits for each byte of a reply
 *                           (500 is the usual value). 0 means no time-out: every read waits
 *                           until its byte comes, so a calibrator that is switched off or not
 *                           connected holds this call, and every later one, for as long as it
 *                           stays so. Kept after the session closes.
 * @param[in] retries        how many attempts each packet exchange makes (5 is usual; its low
 *                           8 bits are used). A calibrator that is off fails the open after
 *                           about 3 x retries x readTimeoutMs.
 * @return KVTLNK_OK: the session is open, the link up and the firmware level set;
 *         KVTLNK_E_ARGUMENT (2013) for a baud other than 9600 or a NULL port name (nothing
 *         changes: an open session stays open); KVTLNK_E_NO_SESSION
 *         (2017) when the port cannot be opened or configured (no such device, no permission,
 *         held by another program, or a "COM" name without a port number, such as "COM0");
 *         KVTLNK_E_NO_LINK (2019) when the calibrator does not answer (switched off, not
 *         connected), or when the line brings bytes that never form a frame (another device on
 *         the port); KVTLNK_E_REFUSED (2018), KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021) or
 *         KVTLNK_E_BAD_REPLY (2022) from the identification exchange; KVTLNK_E_NOT_ACCEPTED
 *         (2005) when the model is not a K27. After any failure the session is closed. When
 *         a session was open and its farewell failed, that code is returned and the old session
 *         is closed all the same.
 * @par Time
 *         X = 29 packet exchanges, 37 when a session was open (see @ref session); a calibrator
 *         that does not answer fails it after 3 x a x T.
 * @see KVTclose, KVTgetK2x, KVTsetVersion
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTopen(int32_t baud, const char* portName, uint32_t readTimeoutMs,
                                        int32_t retries);
/**
 * @ingroup session
 * Closes the session: sends the calibrator an empty status text (clearing its display line),
 * takes the link down and closes the port. The port is closed whatever the calibrator answers.
 * @return KVTLNK_OK, also without a session (nothing is done then); KVTLNK_E_NO_LINK (2019),
 *         KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021), KVTLNK_E_REFUSED (2018) or
 *         KVTLNK_E_BAD_REPLY (2022) when the farewell text did not get through (2019 at once
 *         when the device behind the port is gone).
 * @par Time
 *         X = 8 packet exchanges (see @ref session).
 * @see KVTopen
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTclose(void);
/**
 * @ingroup session
 * Asks the calibrator who it is and how many items its memories hold. Its display shows
 * "Identifying K27" meanwhile.
 * @param[out] model            the model text, e.g. "ORVAN K27"; KVTLNK_MODEL_SIZE bytes
 *                              (longer texts are cut to 127 characters).
 * @param[out] ident3           the calibrator's serial number, e.g. "SN270001"; KVTLNK_IDENT3_SIZE
 *                              bytes.
 * @param[out] firmwareVersion  the firmware version text, e.g. "V1.2.0";
 *                              KVTLNK_FIRMWARE_SIZE bytes.
 * @param[out] edValue          the capacity of each of the calibrator's memories in bytes, as
 *                              its extended report gives it (1,048,576 on a K27).
 * @param[out] procItems        the number of items in its procedure memory, as the
 *                              calibrator reports it (a negative number as its 32-bit two's
 *                              complement).
 * @param[out] resultItems      the number of items in its results memory, likewise.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017) without a session; KVTLNK_E_ARGUMENT (2013)
 *         when any pointer is NULL (nothing is sent); KVTLNK_E_NO_LINK (2019) when the link
 *         cannot be brought up; KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021) or
 *         KVTLNK_E_REFUSED (2018) when an exchange fails; KVTLNK_E_BAD_REPLY (2022) when a
 *         report lacks a field or has lines too many. The outputs are cleared first; after a
 *         failure those filled before it keep their values.
 * @par Time
 *         X = 21 packet exchanges (see @ref session).
 * @see KVTopen, KVTmemstats
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTgetK2x(char* model, char* ident3, char* firmwareVersion,
                                          uint32_t* edValue, uint32_t* procItems,
                                          uint32_t* resultItems);
/**
 * @ingroup session
 * Reads the calibrator's memory statistics, summed over its procedure and results memories
 * (over every memory line its report holds, however many). Its display shows "Getting Memory
 * Statistics" meanwhile.
 * @param[out] field3Total  bytes used in both memories together.
 * @param[out] field4Total  bytes free in both memories together.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_ARGUMENT (2013) when a pointer is
 *         NULL; KVTLNK_E_NO_LINK (2019), KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021),
 *         KVTLNK_E_REFUSED (2018) when an exchange fails; KVTLNK_E_BAD_REPLY (2022) when a
 *         memory's line lacks a field. Both outputs are cleared first; after a failure they hold
 *         what was summed before it.
 * @par Time
 *         X = 10 + L packet exchanges, L the memory lines of the report (see @ref session).
 * @see KVTgetK2x, MEMused
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTmemstats(uint32_t* field3Total, uint32_t* field4Total);
/**
 * @ingroup session
 * Starts a download of the image's procedure memory: checks that the calibrator's firmware
 * can run every record, then empties the calibrator's procedure memory (it restarts the link
 * on the way, which takes about a second). Then call KVTdnlStep until it reports 0 remaining;
 * the last step also empties the calibrator's results memory.
 *
 * The results the calibrator holds (KVTgetK2x's resultItems) are erased: upload and keep them
 * first. The calibrator's procedure memory must hold the whole image: compare MEMused with the
 * capacity KVTgetK2x reports before starting. An image that does not fit stops when the memory
 * is full, with KVTdnlStep's KVTLNK_E_REFUSED (2018), and leaves the records sent so far: a
 * partial procedure, which the calibrator's user should not run.
 * @param[out] itemCount  the number of records to send.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_ARGUMENT (2013) for a NULL pointer;
 *         KVTLNK_E_NO_LINK (2019) when the link cannot be brought up, or does not come back
 *         after the restart; KVTLNK_E_NOT_ACCEPTED (2005), before anything is sent, when no
 *         calibrator was accepted and the image is not empty, or when early firmware meets a
 *         setup it cannot run (see KVTsetVersion); KVTLNK_E_REFUSED (2018), KVTLNK_E_SEND
 *         (2020), KVTLNK_E_NO_REPLY (2021) or KVTLNK_E_BAD_REPLY (2022) when a command fails.
 *         After a failure past the firmware check the calibrator's procedure memory may be
 *         empty.
 * @par Time
 *         X = 24 packet exchanges and the second of the link restart (see @ref session).
 * @see KVTdnlStep, KVTclear, MEMclear
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStart(uint32_t* itemCount);
/**
 * @ingroup session
 * Sends the next record of a download started by KVTdnlStart. The calibrator's display shows
 * the progress. After the last record it empties the calibrator's results memory.
 * @code{.c}
 * uint32_t remaining = 0;
 * uint32_t rc = KVTdnlStart(&remaining);
 * while (rc == KVTLNK_OK && remaining > 0) rc = KVTdnlStep(&remaining);
 * @endcode
 * @param[out] remaining  the number of records still to send.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_ARGUMENT (2013) for a NULL pointer,
 *         a step after the last one, or a step after the image lost records: a record appended
 *         to the image after KVTdnlStart is not sent (see @ref compat); KVTLNK_E_REFUSED
 *         (2018) when the calibrator refuses the item (its memory is full);
 *         KVTLNK_E_BAD_REPLY (2022) when it put the item at another index; KVTLNK_E_NO_LINK
 *         (2019), KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021) when an exchange fails. A
 *         failed step can be called again: it sends the same record from the start. After a
 *         failure of the last step's results-memory command, remaining is 0 but the results
 *         memory may still hold its items.
 * @par Time
 *         X = 25 + 7 x ceil(L / 115) packet exchanges for a record of L bytes (see
 *         @ref session).
 * @see KVTdnlStart
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTdnlStep(uint32_t* remaining);
/**
 * @ingroup session
 * Empties the calibrator's procedure memory, without sending anything in its place; the link
 * is restarted, which takes about a second. The image is not touched.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_NO_LINK (2019) when the link cannot
 *         be brought up or does not come back; KVTLNK_E_REFUSED (2018), KVTLNK_E_SEND (2020),
 *         KVTLNK_E_NO_REPLY (2021) or KVTLNK_E_BAD_REPLY (2022) when a command fails.
 * @par Time
 *         X = 17 packet exchanges and the second of the link restart (see @ref session).
 * @see KVTdnlStart
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTclear(void);
/**
 * @ingroup session
 * Starts an upload of both of the calibrator's memories: reads how many items each holds,
 * empties the image and fetches the two directories, creating every item in the image with its
 * kind, size and date and no data yet. Then call KVTuplStep until it reports 0 remaining;
 * procedure items come first.
 *
 * The item counts and the directory lines are taken as the calibrator sends them. Each number
 * of a line is cut to the width of its place: kind, version word and size to 16 bits, each
 * field of the date to its byte, the year after 1992 is taken off (a year of 1991 is kept as
 * 255 and read back as 2247, a month of 300 as 44), so a calibrator whose clock was never set
 * loses nothing (see MEMpDir). Items are made as their lines come, never ahead of them: a count
 * beyond the lines that come ends at the first missing line with KVTLNK_E_BAD_REPLY, and each
 * memory of the image holds at most 16 MiB (counted as MEMused counts it: sixteen times a
 * calibrator memory), past which the item gives KVTLNK_E_IMAGE. A directory refused part-way
 * leaves the items whose lines came before it, and the rest of its reply is read before the
 * call returns (see @ref compat).
 * @param[out] itemCount  the number of items of both memories together, as the calibrator
 *                        counts them.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_ARGUMENT (2013) for a NULL pointer;
 *         KVTLNK_E_NO_LINK (2019), KVTLNK_E_SEND (2020), KVTLNK_E_NO_REPLY (2021),
 *         KVTLNK_E_REFUSED (2018) when an exchange fails; KVTLNK_E_BAD_REPLY (2022) when a
 *         report or a directory line lacks a field or a line is out of order;
 *         KVTLNK_E_IMAGE (2012) when the image cannot take an item; KVTLNK_E_DIRECTORY (2023)
 *         when an item lands at another index of the image (an item of size 0 does). Once the
 *         item counts have come, the image is emptied.
 * @par Time
 *         X = 19 + P + R packet exchanges, P and R the item counts of the two memories (see
 *         @ref session).
 * @see KVTuplStep, MEMpDir, MEMrDir
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTuplStart(uint32_t* itemCount);
/**
 * @ingroup session
 * Fetches the data of the next item of an upload started by KVTuplStart. The calibrator's
 * display shows the progress.
 * @param[out] remaining  the number of items still to fetch.
 * @return KVTLNK_OK; KVTLNK_E_NO_SESSION (2017); KVTLNK_E_ARGUMENT (2013) for a NULL pointer,
 *         a step after the last one or after the image lost items; KVTLNK_E_REFUSED (2018)
 *         when the calibrator refuses (the item is gone); KVTLNK_E_BAD_REPLY (2022) when it
 *         sends more bytes than the directory gave; KVTLNK_E_NO_LINK (2019), KVTLNK_E_SEND
 *         (2020), KVTLNK_E_NO_REPLY (2021) when an exchange fails. A failed step can be called
 *         again: it fetches the same item from the start.
 * @par Time
 *         X = 11 + k packet exchanges, k the data packets that carry the item: ceil(L / 256)
 *         for an item of L bytes from a calibrator that fills them, at most L (see
 *         @ref session).
 * @see KVTuplStart
 */
KVTLNK_API uint32_t KVTLNK_CALL KVTuplStep(uint32_t* remaining);

/* ---- MEM: building the procedure memory ---- */
/**
 * @ingroup build
 * Empties both memories of the image and lays down the calibrator's nine standard strategies
 * at procedure indices 0 to 8: 3, 5 and 11 points up the span, down it, and up and down, in
 * that order for each count. Their names are the count, a space and the display's arrows:
 * "3 " followed by 0x8C (up), 0x8D (down) or both, and so on. Returns nothing; the setup is not
 * touched.
 * @see MEMstrategyDefn, MEMstats
 */
KVTLNK_API void KVTLNK_CALL MEMclear(void);
/**
 * @ingroup build
 * Defines a test strategy: the points, as fractions of the span, that a test steps through. A
 * strategy of the same name that exists already is reused in place when it has the same number
 * of points: its points are overwritten and no record is added.
 * @param[out] index   receives the strategy's procedure index, for MEMtemplate; may be NULL.
 * @param[in]  name    1 to 20 characters, in the calibrator's character set.
 * @param[in]  count   the number of points, 1 to 32,000.
 * @param[in]  points  count floats, the points, each 0.0 (the low end of the span) to 3.0
 *                     (three spans up); 1.0 is the high end. Stored to 1/10,000.
 * @return KVTLNK_OK; KVTLNK_E_TOO_LONG (2024) for a name over 20 characters;
 *         KVTLNK_E_ARGUMENT (2013) for a NULL name, or NULL points with a count above 0;
 *         KVTLNK_E_IMAGE (2012) for an empty name, a count outside 1 to 32,000, a strategy of
 *         that name with another count, or a full image; KVTLNK_E_STRATEGY_POINT (2016) when a
 *         point lies outside 0.0 to 3.0: the strategy and every record after it are removed.
 *         Other failures leave the image as it was.
 * @see MEMstrategyInfo, MEMtemplate
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyDefn(uint32_t* index, const char* name, int32_t count,
                                                const float* points);
/**
 * @ingroup build
 * Checks whether a prompt text fits the calibrator's display: at most 10 lines of 229 pixels in
 * its font, each under 64 characters; a line feed starts a new line. Changes nothing.
 * @param[in]  text           the prompt text, in the calibrator's character set.
 * @param[out] fittingLength  the number of characters that fit (all of them when the text
 *                            fits); may be NULL.
 * @return KVTLNK_OK when the whole text fits; KVTLNK_E_PROMPT_FIT (2015) when it does not;
 *         KVTLNK_E_ARGUMENT (2013) for a NULL text.
 * @see MEMpromptDefn
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMcheckPromptDefn(const char* text, uint32_t* fittingLength);
/**
 * @ingroup build
 * Defines a prompt: a named text that MEMprompt steps show on the calibrator's display. A text
 * too long for the display is cut, without error, to what fits (see MEMcheckPromptDefn). A
 * name may be defined more than once; readers use the first definition.
 * @param[in] name  up to 32 characters.
 * @param[in] text  the text, in the calibrator's character set.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) when either is NULL; KVTLNK_E_TOO_LONG (2024)
 *         for a name over 32 characters; KVTLNK_E_IMAGE (2012) when the image is full.
 * @see MEMprompt, MEMcheckPromptDefn, MEMpromptDefnInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefn(const char* name, const char* text);
/**
 * @ingroup build
 * Starts a task: the records up to the next MEMendTask are its steps. Save the setups of the
 * task's tests (STAsave) before this call.
 * @param[in] name  the task's name on the calibrator, up to 32 characters.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for a NULL name; KVTLNK_E_TOO_LONG (2024) for a
 *         name over 32 characters; KVTLNK_E_IMAGE (2012) when the image is full.
 * @see MEMendTask, MEMtaskInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMstartTask(const char* name);
/**
 * @ingroup build
 * Adds a step to the task that shows a prompt. The name is not checked against the prompt
 * definitions (MEMpromptInfo reports a step whose definition is missing).
 * @param[in] promptDefnName  the name of a prompt definition (MEMpromptDefn), up to 32
 *                            characters.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for a NULL name; KVTLNK_E_TOO_LONG (2024) for a
 *         name over 32 characters; KVTLNK_E_IMAGE (2012) when the image is full.
 * @see MEMpromptDefn, MEMpromptInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMprompt(const char* promptDefnName);
/**
 * @ingroup build
 * Adds a test to the task: the calibrator takes the saved setup and steps through the strategy's
 * points, recording a calibration result with a tag. The indices are not checked.
 * @param[in] strategyIndex  procedure index of a strategy: 0 to 8 for the standard ones, or
 *                           what MEMstrategyDefn gave.
 * @param[in] flag           nonzero marks the test (stored as 1, else 0); its results carry
 *                           the mark (MEMasflInfo) and report the reading after adjustment.
 * @param[in] text1          first text naming the item tested, up to 32 characters.
 * @param[in] text2          second text, up to 32 characters (may be empty).
 * @param[in] setupIndex     procedure index of the saved setup, as STAsave gave it. Give the
 *                           setup an input and an output scale (STAsetInputScale,
 *                           STAsetOutputScale): MEMtemplateState and the result calls refuse
 *                           a setup without them.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) when a text is NULL; KVTLNK_E_TOO_LONG (2024)
 *         for a text over 32 characters; KVTLNK_E_IMAGE (2012) when the image is full.
 * @see STAsave, MEMstrategyDefn, MEMtemplateInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplate(uint32_t strategyIndex, uint32_t flag,
                                            const char* text1, const char* text2,
                                            uint32_t setupIndex);
/**
 * @ingroup build
 * Ends the task that MEMstartTask started.
 * @return KVTLNK_OK; KVTLNK_E_IMAGE (2012) when the image is full.
 * @see MEMstartTask
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMendTask(void);
/**
 * @ingroup build
 * Reports the bytes the image takes in the calibrator's memories: the records of both memories
 * and their headers, 44 bytes for an empty image. Each of the calibrator's memories holds
 * 1,048,576 bytes. Each memory of the image holds records of at most sixteen times that,
 * 16,777,216 bytes counted as here (24 bytes a record and its data rounded up to even): a call
 * that would add a record past it returns KVTLNK_E_IMAGE (2012), as for a full image. Returns
 * nothing.
 * @param[out] bytes  the byte count; NULL: nothing is done.
 * @see MEMstats, KVTmemstats
 */
KVTLNK_API void KVTLNK_CALL MEMused(uint32_t* bytes);
/**
 * @ingroup build
 * Reports the number of records in each memory of the image. Returns nothing.
 * @param[out] procedureRecords  records of the procedure memory; may be NULL.
 * @param[out] resultRecords     records of the results memory; may be NULL.
 * @see MEMused, MEMpDir, MEMrDir
 */
KVTLNK_API void KVTLNK_CALL MEMstats(uint32_t* procedureRecords, uint32_t* resultRecords);

/* ---- MEM: reading the image ----
 * Caller buffers: task, prompt and prompt-definition names and both template texts
 * KVTLNK_TEXT_SIZE bytes; strategy names KVTLNK_STRATEGY_NAME_SIZE bytes; MEMstrategyInfo's
 * points maxPoints floats; MEMpromptDefnInfo's text textSize bytes (the text is cut to
 * textSize - 1 characters). Texts of uploaded records that are longer are cut to these sizes.
 * MEMdump takes a directory path of at most KVTLNK_DUMP_PATH_MAX characters (a longer one
 * writes nothing); the directory must exist. */
/**
 * @ingroup read
 * The directory entry of a record of the image's procedure memory: what it is, and when it was
 * made (by this library on the PC's local clock, or by the calibrator for uploaded records).
 * The date is reported as the record holds it. Records this library made hold the PC's date,
 * in the ranges below. An uploaded record holds the date as the calibrator's clock gave it,
 * unchecked (a clock that was never set may give month 13 or minute 61), each field cut to its
 * byte (see KVTuplStart): its year is 1992 to 2247 and every other field 0 to 255, and it is
 * reported, and listed by MEMdump, as the record holds it.
 *
 * Directory codes: 32 prompt definition, 33 task start, 34 prompt step, 35 task end, 36
 * strategy, 37 test (template); 0 for anything else, saved setups included.
 * @param[in]  index   procedure index, from 0.
 * @param[out] code    the directory code.
 * @param[out] year    the year, in full (1992 to 2247).
 * @param[out] month   1 to 12 (uploaded: 0 to 255).
 * @param[out] day     1 to 31 (uploaded: 0 to 255).
 * @param[out] hour    0 to 23 (uploaded: 0 to 255).
 * @param[out] minute  0 to 59 (uploaded: 0 to 255).
 * @param[out] second  0 to 59 (uploaded: 0 to 255). Every output may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no record at the index (the outputs
 *         are not touched).
 * @see MEMrDir, MEMstats
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMpDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second);
/**
 * @ingroup read
 * The directory entry of a record of the image's results memory, as MEMpDir: the date as the
 * record holds it, for uploaded records as the calibrator's clock gave it.
 *
 * Directory codes: 1 and 2 calibration results, 4, 5, 7, 3 and 6 the saved setups of forms 1
 * to 5 (setups that results refer to); 0 for anything else, the tag after each result included.
 * @param[in]  index   results index, from 0.
 * @param[out] code    the directory code.
 * @param[out] year    the year, in full (1992 to 2247).
 * @param[out] month   1 to 12 (uploaded: 0 to 255).
 * @param[out] day     1 to 31 (uploaded: 0 to 255).
 * @param[out] hour    0 to 23 (uploaded: 0 to 255).
 * @param[out] minute  0 to 59 (uploaded: 0 to 255).
 * @param[out] second  0 to 59 (uploaded: 0 to 255). Every output may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no record at the index (the outputs
 *         are not touched).
 * @see MEMpDir, MEMcalResult
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMrDir(int32_t index, uint32_t* code, uint32_t* year,
                                        uint32_t* month, uint32_t* day, uint32_t* hour,
                                        uint32_t* minute, uint32_t* second);
/**
 * @ingroup read
 * The name of the task a task-start record begins.
 * @param[in]  index     procedure index of a task start (directory code 33).
 * @param[out] name      the task's name; KVTLNK_TEXT_SIZE bytes. May be NULL.
 * @param[out] taskWord  the task's word, 0 to 65,535 (0 for tasks this library made; the
 *                       calibrator's value after an upload). May be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when the record is missing, is not a task start or
 *         is damaged: name is then empty and taskWord KVTLNK_NO_TASK (0xFFFFFFFF).
 * @see MEMstartTask, MEMasflInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtaskInfo(int32_t index, char* name, uint32_t* taskWord);
/**
 * @ingroup read
 * A strategy's name and points. A record of another kind whose bytes read as a strategy is
 * reported as one: check the directory code (36) first.
 * @param[in]  index      procedure index of a strategy.
 * @param[out] name       the strategy's name; KVTLNK_STRATEGY_NAME_SIZE bytes. May be NULL.
 * @param[out] count      the number of points it has. May be NULL.
 * @param[in]  maxPoints  how many points the points buffer takes.
 * @param[out] points     maxPoints floats: the first min(count, maxPoints) points, as
 *                        fractions of the span (0.0 low end, 1.0 high end). May be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no record at the index or it does not
 *         read as a strategy (the outputs are not touched).
 * @see MEMstrategyDefn, MEMclear
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMstrategyInfo(int32_t index, char* name, int32_t* count,
                                                int32_t maxPoints, float* points);
/**
 * @ingroup read
 * What a test (template) record holds: its strategy, its mark and its two texts.
 * @param[in]  index          procedure index of a template (directory code 37).
 * @param[out] strategyIndex  procedure index of its strategy. May be NULL.
 * @param[out] flag           1 when the test is marked, else 0. May be NULL.
 * @param[out] text1          the first text; KVTLNK_TEXT_SIZE bytes. May be NULL.
 * @param[out] text2          the second text; KVTLNK_TEXT_SIZE bytes. May be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when the record is missing, is not a template, is
 *         damaged, or its strategy does not read (the outputs are not touched).
 * @see MEMtemplate, MEMtemplateState, MEMstrategyInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateInfo(int32_t index, uint32_t* strategyIndex,
                                                uint32_t* flag, char* text1, char* text2);
/**
 * @ingroup read
 * Loads the setup a template names into the library's setup, so that the STA calls show and
 * edit it: the setup record is restored and committed.
 * @param[in]  index  procedure index of a test (template, directory code 37).
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no template at the index, a field
 *         runs past the record's end, its strategy does not decode, its setup record cannot be
 *         restored, or the setup lacks the input or the output scale. After a failure the
 *         library's setup may hold part of the template's setup.
 * @see MEMtemplateInfo, STAsave, STAgetInput
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtemplateState(int32_t index);
/**
 * @ingroup read
 * The prompt definition a prompt step shows.
 * @param[in]  index  procedure index of a prompt step (directory code 34).
 * @param[out] name   the name of its prompt definition; KVTLNK_TEXT_SIZE
 *                    bytes. May be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when the record is missing, is not a prompt step,
 *         or no prompt definition of its name exists: name is then empty.
 * @see MEMprompt, MEMpromptDefnInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptInfo(int32_t index, char* name);
/**
 * @ingroup read
 * A prompt definition's name and text.
 * @param[in]  index       procedure index of a prompt definition (directory code 32).
 * @param[out] name        its name; KVTLNK_TEXT_SIZE bytes. May be NULL.
 * @param[out] textLength  the number of characters written to text. May be NULL.
 * @param[in]  textSize    the size of the text buffer in bytes, at least 1; a longer text is
 *                         cut to textSize - 1 characters.
 * @param[out] text        the prompt text, in the calibrator's character set; textSize bytes.
 *                         May be NULL.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for a textSize below 1 (nothing is written);
 *         KVTLNK_E_RECORD (2014) when the record is missing, is not a prompt definition or is
 *         damaged: name and text are then empty and textLength 0.
 * @see MEMpromptDefn, MEMpromptInfo
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMpromptDefnInfo(int32_t index, char* name, uint32_t* textLength,
                                                  int32_t textSize, char* text);
/**
 * @ingroup read
 * Writes the whole image to files, for inspection: for each memory a listing of its records
 * and one file of data bytes per record. For a directory D: D/res.dir and D/resN.nd (results
 * record N), then D/prc.dir and D/prcN.nd (procedure record N), each created afresh: what
 * stands under such a name (a file, a symbolic or a hard link) is removed first, never written
 * through. A listing line reads "index: name(kind),V(version),MM/DD/YYYY hh:mm:ss". Returns
 * nothing: a listing that cannot be created skips its memory, a data file that cannot be
 * created ends that memory's data files. The image is not changed.
 * @param[in] directory  an existing directory that only the application's user can write to,
 *                       without a trailing separator, of at most KVTLNK_DUMP_PATH_MAX
 *                       (238) characters (a longer
 *                       path, or NULL, writes nothing).
 * @see MEMpDir, MEMrDir
 */
KVTLNK_API void KVTLNK_CALL MEMdump(const char* directory);

/* ---- MEM: calibration results ---- */
/**
 * @ingroup results
 * Number of test points of a calibration result, one entry each.
 * @param[in]  index       results index of a calibration result (directory code 1 or 2).
 * @param[out] entryCount  number of entries; may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) when there is no calibration result at the index,
 *         it runs short, its setup is not a form-5 setup record, or its strategy does not
 *         decode or has another number of points.
 * @see MEMcalResultEntry, MEMrDir
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMcalResult(int32_t index, uint32_t* entryCount);
/**
 * @ingroup results
 * One test point of a calibration result in base units (volts, amps, ohms, hertz; degrees and
 * pressures in the setup's units), each with the upper limit of the range it was taken in.
 * The setup the result ran with is decoded on an object of its own: the library's setup is
 * not changed.
 * @param[in]  index       results index of a calibration result.
 * @param[in]  entry       0 ... entry count - 1.
 * @param[out] inValue     the measured value; for a flagged result the reading after
 *                         adjustment.
 * @param[out] inFlag      1 when the measured value is present (always for a flagged result).
 * @param[out] inLimit     upper limit of the measure range; 0.0 when there is none.
 * @param[out] outValue    the sourced value.
 * @param[out] outFlag     1 when the sourced value is present.
 * @param[out] outLimit    upper limit of the source range; 0.0 when there is none.
 * @param[out] thirdValue  the error the calibrator recorded for the point, in percent of the
 *                         input span: the reading minus the point through the input scale,
 *                         divided by the span; a quiet NaN when the entry holds none. Every
 *                         output may be NULL.
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
 * @param[in]  index  results index of a calibration result.
 * @return KVTLNK_OK; KVTLNK_E_RECORD (2014) for what MEMcalResultEntry refuses; the library's
 *         setup may then hold part of the result's setup.
 * @see MEMcalResultEntry, MEMtemplateState, STAgetInput
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMbaseState(int32_t index);
/**
 * @ingroup results
 * The task and strategy a calibration result came from, and its flag.
 * @param[in]  index          results index of a calibration result.
 * @param[out] taskIndex      procedure index of the task start of the template that names the
 *                            result's setup, found from that setup on; KVTLNK_NO_TASK_BEFORE
 *                            (0x7FFFFFFF) when no task starts before it; KVTLNK_NO_TASK
 *                            (0xFFFFFFFF) when the setup lies in the results memory or no
 *                            template names it. Any value below KVTLNK_NO_TASK_BEFORE is a
 *                            task for MEMtaskInfo.
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
 * tag record right after the result (the calibrator's tag, then the test's two texts).
 * @param[in]  index  results index of the result.
 * @param[out] text1  first text, KVTLNK_TEXT_SIZE bytes (longer texts are cut); empty
 *                    on failure.
 * @param[out] text2  second text, KVTLNK_TEXT_SIZE bytes.
 * @param[out] text3  third text, KVTLNK_TEXT_SIZE bytes. Outputs may be NULL.
 * @return KVTLNK_OK; KVTLNK_E_NO_TAG (2026) when the next record is missing, is not a tag
 *         record, or does not hold three terminated texts.
 * @see MEMcalResult, MEMtemplate
 */
KVTLNK_API uint32_t KVTLNK_CALL MEMtagidInfo(uint32_t index, char* text1, char* text2, char* text3);

/* ---- STA: setup state, setters ---- */
/**
 * @ingroup setup
 * Resets the setup to the calibrator's defaults: nothing measured or sourced (both functions
 * "none"), automatic input ranging, loop power off, no scales, transfer functions or test
 * tolerance, degrees Celsius, psi, "its90", both reference junctions measured (user
 * temperature 23.0 degrees C), and the setup form that tests use. The log's counts become 0.
 * Call it before shaping each setup that STAsave stores. It cannot fail.
 * @attention STAinit returns 1 (KVTLNK_STAINIT_DONE), not KVTLNK_OK (0): it is the one call
 *            whose success is not 0. Test it with KVTLNK_FAILED(), or not at all.
 * @return KVTLNK_STAINIT_DONE (1), always.
 * @see STAsetInput, STAsetOutput, STAsave
 */
KVTLNK_API uint32_t KVTLNK_CALL STAinit(void);
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
 * pressure input, and dropping it switches the test tolerance off. A test's setup needs both
 * scales: they give the span its strategy's points step through.
 * @param[in] first   first scale value (the span's low end, 0.004 for 4 mA), in the units the
 *                    application's procedure uses.
 * @param[in] second  second scale value, same units.
 * @return KVTLNK_OK always.
 * @see STAgetInputScale, MEMtemplate
 */
KVTLNK_API uint32_t KVTLNK_CALL STAsetInputScale(float first, float second);
/**
 * @ingroup setup
 * Stores the output scale pair of the setup as given (no order between the two is required); it
 * is dropped when the output function changes or when units change under a temperature or
 * pressure output, and dropping it switches the test tolerance off. A test's setup needs both
 * scales: they give the span its strategy's points step through.
 * @param[in] first   first scale value (the span's low end, 1.0 for 1 V), in the units the
 *                    application's procedure uses.
 * @param[in] second  second scale value, same units.
 * @return KVTLNK_OK always.
 * @see STAgetOutputScale, MEMtemplate
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
 * to name; the setup is not changed. The record's form follows from the setup code (STAinit
 * sets the form tests use); a setup with the thermocouple "tc_l" or "tc_u", or an RTD from
 * "rtd_pt200_385" on, needs the calibrator's later firmware (see KVTsetVersion).
 * @param[out] index  procedure index of the record; -1 on failure.
 * @return KVTLNK_OK; KVTLNK_E_ARGUMENT (2013) for a NULL index; KVTLNK_E_IMAGE (2012) when the
 *         setup code names no form or the record does not fit; KVTLNK_E_NOT_ACCEPTED (2005)
 *         when the accepted calibrator's firmware cannot take the setup, or a calibrator was
 *         refused: the record is removed again.
 * @see STAinit, MEMtemplate, MEMstartTask, STArestore
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
 * none is known. Returns nothing. The texts come in the reverse order of the setup record's
 * pressure-module block: text1 receives the block's second text (the one at offset 10), text2
 * its first (at offset 0).
 * @param[out] text1    the module's second text, up to 15 characters;
 *                      KVTLNK_PRESSURE_TEXT_SIZE bytes.
 * @param[out] text2    the module's first text, up to 9 characters;
 *                      KVTLNK_PRESSURE_TEXT2_SIZE bytes.
 * @param[out] present  1 when a pressure module is attached, else 0.
 * @see STAgetPresUnits, STAgetInput
 */
KVTLNK_API void KVTLNK_CALL STAgetPressure(char* text1, char* text2, uint32_t* present);
/**
 * @ingroup setup
 * Reports the units temperatures are shown in: those of the input when it measures "tc" or an
 * RTD, else those of the output when it sources one, else the setup's temperature units.
 * @param[out] units  receives "celsius" or "fahrenheit" (an empty text for a units code without
 *                    a name, as a damaged restored setup may hold);
 *                    KVTLNK_SETTING_SIZE bytes.
 * @return units, or NULL (and nothing done) when units is NULL.
 * @see STAsetTempUnits
 */
KVTLNK_API char* KVTLNK_CALL STAgetTempUnits(char* units);
/**
 * @ingroup setup
 * Reports the units pressures are shown in: those of a pressure input, else of a pressure
 * output, else the setup's pressure units.
 * @param[out] units  receives "psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar" or "kpa" (an
 *                    empty text for a code without a name); KVTLNK_SETTING_SIZE bytes.
 * @return units, or NULL (and nothing done) when units is NULL.
 * @see STAsetPresUnits
 */
KVTLNK_API char* KVTLNK_CALL STAgetPresUnits(char* units);
/**
 * @ingroup setup
 * Reports the temperature standard of the sensor curves.
 * @param[out] standard  receives "its90" or "ipts68" (an empty text for a code without a name);
 *                       KVTLNK_SETTING_SIZE bytes.
 * @return standard, or NULL (and nothing done) when standard is NULL.
 * @see STAsetTempStd
 */
KVTLNK_API char* KVTLNK_CALL STAgetTempStd(char* standard);
/**
 * @ingroup setup
 * Reports the reference junction: the input side's mode and the temperature that applies.
 * @param[out] mode         receives "measure" or "user" (an empty text for a code without a
 *                          name); KVTLNK_SETTING_SIZE bytes.
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
 * When the log started, as the setup holds it: the start time of the last restored setup that
 * carries a log (a saved setup of form 4, the form with a logging block), reported as that
 * record holds it, unchecked. Restoring a setup without a log leaves it, and so does STAinit;
 * before any log was restored it is 1992-01-01 00:00:00. A log that holds no start time holds
 * zeros: month 0 and day 0 (and 1992, 00:00:00).
 * @param[out] year    full year, 1992 ... 2247.
 * @param[out] month   as the setup holds it, 0 ... 255: 1 ... 12 from a clock that was set, 0
 *                     when the log holds no start time.
 * @param[out] day     likewise 0 ... 255: 1 ... 31, or 0 without a start time.
 * @param[out] hour    0 ... 255: 0 ... 23 from a clock that was set.
 * @param[out] minute  0 ... 255: 0 ... 59 from a clock that was set.
 * @param[out] second  0 ... 255: 0 ... 59 from a clock that was set. Outputs may be NULL.
 * @return KVTLNK_OK.
 * @see STAgetLogData, STArestore
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
 * @see STAgetLoggedData
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
 * @see STAgetLogData, STAgetLogMinMax
 */
KVTLNK_API uint32_t KVTLNK_CALL STAgetLoggedData(uint32_t index, uint32_t* valid, float* value);

#ifdef __cplusplus
}
#endif

#endif /* KVTLNK_KVTLNK_H */
