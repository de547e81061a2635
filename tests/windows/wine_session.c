/* A whole session through the public header, run under wine against the emulated calibrator:
 *   wine_session PORT TIMEOUT_MS
 * opens PORT, identifies the calibrator, downloads an image with a strategy long enough to
 * span many blocks and packets, uploads it again and compares every procedure record byte
 * for byte, closes, and opens a port that does not exist. Exit status 0 when all went well. */
#include <kvtlnk/kvtlnk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define POINTS 1500 /* 3,000 bytes of points: 27 download blocks, 12 upload packets */

static int failures;

static void expect(const char* what, uint32_t got, uint32_t want) {
    if (got == want) return;
    printf("%s: %u, expected %u\n", what, (unsigned)got, (unsigned)want);
    ++failures;
}

static uint32_t transfer(uint32_t(KVTLNK_CALL* start)(uint32_t*),
                         uint32_t(KVTLNK_CALL* step)(uint32_t*)) {
    uint32_t remaining = 0;
    uint32_t r = start(&remaining);
    while (r == KVTLNK_OK && remaining > 0)
        r = step(&remaining);
    return r;
}

/* Reads a dumped record; returns its size, or -1 when the file is missing. */
static long readRecord(const char* dir, unsigned index, char* buffer, long size) {
    char path[64];
    FILE* f;
    long n;
    snprintf(path, sizeof path, "%s/prc%u.nd", dir, index);
    f = fopen(path, "rb");
    if (f == NULL) return -1;
    n = (long)fread(buffer, 1, (size_t)size, f);
    fclose(f);
    return n;
}

/* The lines of a dump's listing, one per record; -1 when the file is missing. */
static long listingLines(const char* path) {
    FILE* f = fopen(path, "r");
    long lines = 0;
    int c;
    if (f == NULL) return -1;
    while ((c = fgetc(f)) != EOF)
        lines += c == '\n';
    fclose(f);
    return lines;
}

/* Removes what an earlier run dumped into dir, so that only this run's files are compared. */
static void forgetDump(const char* dir) {
    char path[64];
    unsigned i;
    snprintf(path, sizeof path, "%s/prc.dir", dir);
    DeleteFileA(path);
    for (i = 0; i < 32; ++i) {
        snprintf(path, sizeof path, "%s/prc%u.nd", dir, i);
        DeleteFileA(path);
    }
}

static void compareDumps(unsigned records) {
    static char before[8192], after[8192];
    unsigned i;
    for (i = 0; i < records; ++i) {
        long a = readRecord("before", i, before, sizeof before);
        long b = readRecord("after", i, after, sizeof after);
        if (a < 0 || a != b || memcmp(before, after, (size_t)a) != 0) {
            printf("procedure record %u differs after the round trip (%ld and %ld bytes)\n", i, a,
                   b);
            ++failures;
        }
    }
}

int main(int argc, char** argv) {
    char model[128], ident3[128], firmware[128];
    uint32_t ed = 0, procItems = 0, resultItems = 0, index = 0, records = 0, results = 0;
    static float points[POINTS];
    int i;
    if (argc != 3) {
        printf("usage: wine_session PORT TIMEOUT_MS\n");
        return 2;
    }

    expect("KVTopen of a port that does not exist", KVTopen(9600, "COM42", 100, 1),
           KVTLNK_E_NO_SESSION);
    expect("KVTopen", KVTopen(9600, argv[1], (uint32_t)atoi(argv[2]), 5), KVTLNK_OK);
    expect("KVTgetK2x", KVTgetK2x(model, ident3, firmware, &ed, &procItems, &resultItems),
           KVTLNK_OK);
    expect("model is ORVAN K27", strcmp(model, "ORVAN K27") == 0, 1);

    /* Every point value from 0 to 3 in odd steps, so the bytes take every value, the frame
     * layer's control bytes among them. */
    for (i = 0; i < POINTS; ++i)
        points[i] = (float)((i * 4099) % 30001) / 10000.0f;
    MEMclear();
    expect("MEMstrategyDefn", MEMstrategyDefn(&index, "ROUND TRIP", POINTS, points), KVTLNK_OK);
    expect("MEMpromptDefn", MEMpromptDefn("CHECK", "Connect the loop"), KVTLNK_OK);
    MEMstats(&records, &results);
    CreateDirectoryA("before", NULL);
    CreateDirectoryA("after", NULL);
    forgetDump("before");
    forgetDump("after");
    MEMdump("before");

    expect("download", transfer(KVTdnlStart, KVTdnlStep), KVTLNK_OK);
    MEMclear();
    expect("upload", transfer(KVTuplStart, KVTuplStep), KVTLNK_OK);
    MEMstats(&procItems, &results);
    expect("records after the upload", procItems, records);
    MEMdump("after");
    compareDumps(records);
    /* A second dump replaces the files of the first. */
    MEMclear();
    MEMstats(&records, &results);
    MEMdump("after");
    expect("listing of a dump over another", (uint32_t)listingLines("after/prc.dir"), records);

    expect("KVTclose", KVTclose(), KVTLNK_OK);
    expect("KVTgetK2x after KVTclose",
           KVTgetK2x(model, ident3, firmware, &ed, &procItems, &resultItems), KVTLNK_E_NO_SESSION);
    printf("%s: an image of %u records, %d failures\n", argv[1], (unsigned)records, failures);
    return failures == 0 ? 0 : 1;
}
