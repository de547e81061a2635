/**
 * @file kvtlnk_messages.h
 * @brief kvtlnk: one line of text for every result code, saying what happened and what to do.
 *
 * @code{.c}
 * uint32_t rc = KVTopen(9600, "/dev/ttyUSB0", 500, 5);
 * if (rc != KVTLNK_OK) fprintf(stderr, "%u: %s\n", rc, kvtlnkMessage(rc));
 * @endcode
 *
 * The texts are plain ASCII. The function is static inline, so including this header adds no
 * symbol to the library or to the application's exports. C99 and C++.
 */
#ifndef KVTLNK_KVTLNK_MESSAGES_H
#define KVTLNK_KVTLNK_MESSAGES_H

#include "kvtlnk/kvtlnk.h"

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @ingroup codes
 * One line of text for a result code: what happened and what to do, in plain ASCII. The table
 * of result codes lists every text.
 * @param[in] code  a result code of any call.
 * @return a static text, never NULL; for a code the library does not know, a text that says so.
 */
static inline const char* kvtlnkMessage(uint32_t code) {
    switch (code) {
        case KVTLNK_OK:
            return "done";
        case KVTLNK_W_LOOP_POWER_OFF:
            return "the setting was made and loop power was switched off to allow it: switch it "
                   "on again if the loop needs it";
        case KVTLNK_W_INPUT_TO_DCV:
            return "the setting was made and the input function was changed to dcv to allow it: "
                   "set the input again if you need another function";
        case KVTLNK_W_OUTPUT_TO_NONE:
            return "the setting was made and the output function was changed to none to allow "
                   "it: set the output again if you need one";
        case KVTLNK_W_STATUS_10027:
            return "the calibrator setup reported status 10027, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_W_INPUT_TO_DCV_LOOP_OFF:
            return "the setting was made, the input function was changed to dcv and loop power "
                   "was switched off to allow it: set them again if you need them";
        case KVTLNK_W_OUTPUT_TO_NONE_LOOP_OFF:
            return "the setting was made, the output function was changed to none and loop power "
                   "was switched off to allow it: set them again if you need them";
        case KVTLNK_E_STATUS_15000:
            return "the calibrator setup reported status 15000, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_E_TC_CONVERSION:
            return "the thermocouple source temperature or the reference-junction temperature "
                   "cannot be converted: keep the reference junction within -100 to 400 degrees "
                   "C and the temperature within the sensor's range";
        case KVTLNK_E_RTD_CONVERSION:
            return "the RTD source temperature needs a resistance that no source range holds: "
                   "choose a temperature within the sensor's range";
        case KVTLNK_E_COMBINATION:
            return "function, units and sensor do not go together on that side: choose a "
                   "combination the calibrator offers";
        case KVTLNK_E_OUTPUT_RANGE:
            return "the output value fits no source range: choose a value the calibrator can "
                   "source";
        case KVTLNK_E_NOT_ACCEPTED:
            return "the calibrator's model or firmware does not take this: use a K27, or leave "
                   "out the saved setups its firmware cannot run";
        case KVTLNK_E_INPUT_RANGE:
            return "the input range is not allowed for the input function: choose automatic "
                   "ranging or one of the function's ranges";
        case KVTLNK_E_STATUS_15015:
            return "the calibrator setup reported status 15015, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_E_NO_VALUE:
            return "no range holds the value, or there is no valid logged reading at that index: "
                   "choose a value within range or an index below the sample count";
        case KVTLNK_E_STATUS_15017:
            return "the calibrator setup reported status 15017, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_E_STATUS_15018:
            return "the calibrator setup reported status 15018, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_E_STATUS_15019:
            return "the calibrator setup reported status 15019, which no operation produces: "
                   "report it with the calls that led to it";
        case KVTLNK_E_IMAGE:
            return "the memory image could not take the record, or the library ran out of "
                   "memory: make the procedure smaller, or check that a strategy redefined under "
                   "the same name keeps its point count";
        case KVTLNK_E_ARGUMENT:
            return "invalid argument (a missing text, an index beyond the image, a value the "
                   "library does not take): check the call's arguments";
        case KVTLNK_E_RECORD:
            return "no record of the expected kind at that index, or one that cannot be decoded: "
                   "check the index against the directory";
        case KVTLNK_E_PROMPT_FIT:
            return "the prompt text does not fit the calibrator's display of 10 lines: shorten "
                   "it";
        case KVTLNK_E_STRATEGY_POINT:
            return "a strategy point lies outside 0.0 to 3.0 of the span: correct the point "
                   "(the strategy was removed from the image)";
        case KVTLNK_E_NO_SESSION:
            return "no session, or the serial port cannot be opened: check the port name, that "
                   "the port exists and that no other program holds it";
        case KVTLNK_E_REFUSED:
            return "the calibrator refused the command: bring it to its main screen, stop any "
                   "running task, and try again";
        case KVTLNK_E_NO_LINK:
            return "the calibrator did not answer: check the cable, the port and that the "
                   "instrument is on";
        case KVTLNK_E_SEND:
            return "a command was not acknowledged: check the cable and try again; a longer "
                   "time-out or more attempts help on a noisy line";
        case KVTLNK_E_NO_REPLY:
            return "an expected reply did not arrive: check the cable and try again; a longer "
                   "time-out helps on a slow line";
        case KVTLNK_E_BAD_REPLY:
            return "the calibrator's reply was malformed: try again; if it persists, its "
                   "firmware may answer in a way the library does not know";
        case KVTLNK_E_DIRECTORY:
            return "an uploaded item landed at another index of the image: upload again, which "
                   "starts from an empty image";
        case KVTLNK_E_TOO_LONG:
            return "a name or text is too long for its record: keep names and template texts to "
                   "32 characters and strategy names to 20";
        case KVTLNK_E_NO_TAG:
            return "no tag-identifier record follows this result: the result was stored without "
                   "a tag";
        default:
            return "unknown result code: check that the application and the library are of the "
                   "same version";
    }
}

#ifdef __cplusplus
}
#endif

#endif /* KVTLNK_KVTLNK_MESSAGES_H */
