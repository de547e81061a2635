/* The public header used from plain C99. */
#include <kvtlnk/kvtlnk.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char version[4];
    uint32_t refused;
    uint32_t accepted;
    KVTversion(version);
    refused = KVTsetVersion("ORVAN K2", "V1.2");
    accepted = KVTsetVersion("ORVAN K27", "V1.2");
    if (strcmp(version, "1.1") != 0 || refused != KVTLNK_E_NOT_ACCEPTED || accepted != KVTLNK_OK) {
        printf("version %s, refused %u, accepted %u\n", version, (unsigned)refused,
               (unsigned)accepted);
        return 1;
    }
    return 0;
}
