/*
 * calibrate: a complete kvtlnk application in C99.
 *
 * It opens the calibrator on the serial port given on the command line and identifies it,
 * builds a procedure of one task (a prompt, then a test of a 4-20 mA transmitter driven by
 * 1-5 V) with the setup of that test made by the STA calls, downloads it, uploads both of the
 * calibrator's memories again and prints every calibration result found with its test points.
 * Every call's result is checked; a failure prints the call, its code and its text.
 *
 *     calibrate [--discard-results] /dev/ttyUSB0
 *
 * Without an instrument, run the emulator in another terminal and give its port:
 *
 *     kvtsim --run --link /tmp/k27 &
 *     ./calibrate /tmp/k27
 *
 * (kvtsim --run performs the downloaded tests at once, as the calibrator's user would in the
 * field, so the upload brings results back.) A download replaces the calibrator's procedure
 * memory and empties its results memory: while the calibrator holds results, calibrate stops
 * before sending anything, unless --discard-results says they may go (save them first, for
 * example with kvtlnk upload --out FILE).
 *
 * It builds against the installed library with the CMakeLists.txt beside it:
 *
 *     cmake -S . -B build -DCMAKE_PREFIX_PATH=/usr/local && cmake --build build
 *
 * or with pkg-config: cc -std=c99 -o calibrate calibrate.c $(pkg-config --cflags --libs kvtlnk)
 */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"

/* Prints a failed call with its result code and text. Success is not always 0: warnings
 * (100-105) are printed too but count as success, since the call did its work, and STAinit()
 * returns 1. KVTLNK_FAILED() is true for errors only. */
static int ok(const char* call, uint32_t rc) {
    if (rc == KVTLNK_OK) return 1;
    fprintf(stderr, "%s: %s %u: %s\n", call, KVTLNK_FAILED(rc) ? "error" : "warning", (unsigned)rc,
            kvtlnkMessage(rc));
    return !KVTLNK_FAILED(rc);
}

/* Identifies the calibrator; resultItems receives the number of items its results memory
 * holds, which a download erases. */
static int identify(uint32_t* resultItems) {
    char model[128], serial[128], firmware[128];
    uint32_t capacity = 0, procedureItems = 0;
    if (!ok("KVTgetK2x",
            KVTgetK2x(model, serial, firmware, &capacity, &procedureItems, resultItems)))
        return 0;
    printf("calibrator: %s, firmware %s, serial number %s\n", model, firmware, serial);
    printf("memories: %lu bytes each; %lu procedure items, %lu result items\n",
           (unsigned long)capacity, (unsigned long)procedureItems, (unsigned long)*resultItems);
    return 1;
}

/* The setup of the test: the calibrator measures the transmitter's 4-20 mA output and sources
 * 1-5 V into its input; both spans are set as scales, which a test needs. */
static int saveSetup(int32_t* setup) {
    STAinit(); /* returns 1, and cannot fail */
    return ok("STAsetInput", STAsetInput("current", NULL)) &&
           ok("STAsetOutput", STAsetOutput("dcv", NULL, 1.0f, 0.0f)) &&
           ok("STAsetInputScale", STAsetInputScale(0.004f, 0.020f)) &&
           ok("STAsetOutputScale", STAsetOutputScale(1.0f, 5.0f)) &&
           ok("STAsetTestTolerance", STAsetTestTolerance(0.25f)) && ok("STAsave", STAsave(setup));
}

/* Builds the procedure in the library's image. */
static int build(void) {
    static const float points[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.5f, 0.0f};
    uint32_t strategy = 0, records = 0, results = 0, bytes = 0;
    int32_t setup = -1;

    MEMclear(); /* the nine standard strategies; returns nothing */
    if (!ok("MEMstrategyDefn",
            MEMstrategyDefn(&strategy, "5 up 2 down", (int32_t)(sizeof points / sizeof *points),
                            points)) ||
        !ok("MEMpromptDefn",
            MEMpromptDefn("connect", "Connect PT-101:\n1-5 V to its input,\nmA to the meter.")) ||
        !saveSetup(&setup) || /* before the task starts, so its results find the task */
        !ok("MEMstartTask", MEMstartTask("PT-101 loop check")) ||
        !ok("MEMprompt", MEMprompt("connect")) ||
        !ok("MEMtemplate", MEMtemplate(strategy, 0, "PT-101", "loop check", (uint32_t)setup)) ||
        !ok("MEMendTask", MEMendTask()))
        return 0;
    MEMstats(&records, &results);
    MEMused(&bytes);
    printf("procedure built: %lu records, %lu bytes (strategy %lu, setup %ld)\n",
           (unsigned long)records, (unsigned long)bytes, (unsigned long)strategy, (long)setup);
    return 1;
}

/* Runs a transfer: the start call, then one step per item until none remains. */
static int transfer(const char* what, uint32_t (*start)(uint32_t*), const char* startName,
                    uint32_t (*step)(uint32_t*), const char* stepName) {
    uint32_t items = 0, remaining = 0;
    if (!ok(startName, start(&items))) return 0;
    for (remaining = items; remaining > 0;) {
        if (!ok(stepName, step(&remaining))) return 0;
    }
    printf("%s: %lu items\n", what, (unsigned long)items);
    return 1;
}

/* Prints one calibration result of the results memory and its test points. */
static int printResult(int32_t index) {
    char tag[33], text1[33], text2[33], task[33] = "", strategy[21] = "";
    char inFunction[KVTLNK_NAME_SIZE], outFunction[KVTLNK_NAME_SIZE];
    uint32_t count = 0, taskIndex = 0, strategyIndex = 0, flag = 0, word = 0;
    int32_t points = 0;
    int32_t i;

    if (!ok("MEMcalResult", MEMcalResult(index, &count)) ||
        !ok("MEMasflInfo", MEMasflInfo(index, &taskIndex, &strategyIndex, &flag)) ||
        !ok("MEMstrategyInfo", MEMstrategyInfo((int32_t)strategyIndex, strategy, &points, 0, NULL)))
        return 0;
    if (!ok("MEMtagidInfo", MEMtagidInfo((uint32_t)index, tag, text1, text2))) {
        strcpy(tag, "(no tag)");
        text1[0] = text2[0] = '\0';
    }
    /* A result whose setup lies in the results memory names no task of the procedure. */
    if (taskIndex < KVTLNK_NO_TASK_BEFORE)
        ok("MEMtaskInfo", MEMtaskInfo((int32_t)taskIndex, task, &word));
    /* The setup the result was taken with, into the library's setup, for its function names. */
    if (!ok("MEMbaseState", MEMbaseState(index)) ||
        !ok("STAgetInput", STAgetInput(inFunction, NULL, NULL, NULL, NULL, NULL)) ||
        !ok("STAgetOutput", STAgetOutput(outFunction, NULL, NULL, NULL, NULL, NULL)))
        return 0;
    printf("result %ld: tag %s \"%s\" \"%s\", task \"%s\", strategy \"%s\", %s, %lu points\n",
           (long)index, tag, text1, text2, task, strategy, flag ? "as left" : "as found",
           (unsigned long)count);
    printf("  measured %s, sourced %s\n", inFunction, outFunction);

    for (i = 0; i < (int32_t)count; ++i) {
        float in = 0, inLimit = 0, out = 0, outLimit = 0, third = 0;
        uint32_t inFlag = 0, outFlag = 0;
        if (!ok("MEMcalResultEntry", MEMcalResultEntry(index, i, &in, &inFlag, &inLimit, &out,
                                                       &outFlag, &outLimit, &third)))
            return 0;
        printf("  point %ld: measured ", (long)i + 1);
        if (inFlag)
            printf("%.6g (range to %g)", in, inLimit);
        else
            printf("nothing");
        printf(", sourced ");
        if (outFlag)
            printf("%.6g (range to %g)", out, outLimit);
        else
            printf("nothing");
        if (!isnan(third)) printf(", error %.4f %%", third); /* NaN: none recorded */
        printf("\n");
    }
    return 1;
}

/* Walks the results memory: directory codes 1 and 2 are calibration results. */
static int printResults(void) {
    uint32_t records = 0, results = 0, found = 0;
    int32_t index;
    MEMstats(&records, &results);
    for (index = 0; index < (int32_t)results; ++index) {
        uint32_t code = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        if (!ok("MEMrDir", MEMrDir(index, &code, &year, &month, &day, &hour, &minute, &second)))
            return 0;
        if (code != 1 && code != 2) continue;
        printf("taken %04lu-%02lu-%02lu %02lu:%02lu:%02lu\n", (unsigned long)year,
               (unsigned long)month, (unsigned long)day, (unsigned long)hour, (unsigned long)minute,
               (unsigned long)second);
        if (!printResult(index)) return 0;
        ++found;
    }
    printf("%lu calibration results\n", (unsigned long)found);
    return 1;
}

int main(int argc, char** argv) {
    char version[KVTLNK_VERSION_SIZE];
    const char* port = argv[argc - 1];
    const int discard = argc == 3 && strcmp(argv[1], "--discard-results") == 0;
    uint32_t held = 0;
    int done;
    if (argc != 2 && !discard) {
        fprintf(stderr,
                "usage: calibrate [--discard-results] PORT (e.g. /dev/ttyUSB0, COM1, or "
                "kvtsim's port)\n");
        return 2;
    }
    KVTversion(version);
    printf("kvtlnk %s\n", version);
    /* 9600 baud is the calibrator's only speed; 500 ms a byte, 5 attempts a packet. */
    if (!ok("KVTopen", KVTopen(9600, port, 500, 5))) return 1;

    done = identify(&held);
    if (done && held > 0 && !discard) {
        fprintf(stderr,
                "the calibrator holds %lu result items, which the download would erase: save "
                "them first (kvtlnk --port %s upload --out FILE), then run calibrate "
                "--discard-results %s; nothing was sent\n",
                (unsigned long)held, port, port);
        KVTclose();
        return 2;
    }
    done = done && build() &&
           transfer("downloaded", KVTdnlStart, "KVTdnlStart", KVTdnlStep, "KVTdnlStep") &&
           transfer("uploaded", KVTuplStart, "KVTuplStart", KVTuplStep, "KVTuplStep") &&
           printResults();

    if (!ok("KVTclose", KVTclose())) done = 0;
    return done ? 0 : 1;
}
