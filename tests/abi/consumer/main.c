/* The public headers used from plain C99. */
#include <kvtlnk/kvtlnk.h>
#include <kvtlnk/kvtlnk_ext.h>
#include <kvtlnk/kvtlnk_messages.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char version[4];
    uint32_t refused;
    uint32_t accepted;
    const uint8_t taskEnd[1] = {0};
    uint8_t back[1] = {0xFF};
    int32_t index = -1;
    uint32_t kind = 0;
    uint32_t loaded;
    uint32_t read;
    KVTversion(version);
    refused = KVTsetVersion("ORVAN K2", "V1.2");
    accepted = KVTsetVersion("ORVAN K27", "V1.2");
    if (strcmp(version, "1.1") != 0 || refused != KVTLNK_E_NOT_ACCEPTED || accepted != KVTLNK_OK) {
        printf("version %s, refused %u, accepted %u\n", version, (unsigned)refused,
               (unsigned)accepted);
        return 1;
    }
    loaded = KVXloadRecord(KVX_PROCEDURE, 13, 0, NULL, taskEnd, sizeof taskEnd, &index);
    read = KVXreadRecord(KVX_PROCEDURE, index, &kind, NULL, NULL, NULL, back, sizeof back);
    if (loaded != KVTLNK_OK || read != KVTLNK_OK || kind != 13 || back[0] != 0 ||
        strcmp(KVXmessage(KVTLNK_E_NO_TAG), kvtlnkMessage(KVTLNK_E_NO_TAG)) != 0) {
        printf("loaded %u at %d, read %u: kind %u, byte %u\n", (unsigned)loaded, (int)index,
               (unsigned)read, (unsigned)kind, (unsigned)back[0]);
        return 1;
    }
    return 0;
}
