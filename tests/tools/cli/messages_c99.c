/* The message table compiles as strict C99 and answers for known and unknown codes. */
#include <string.h>

#include "kvtlnk/kvtlnk_messages.h"

int main(void) {
    const char* known = kvtlnkMessage(KVTLNK_E_NO_LINK);
    const char* unknown = kvtlnkMessage(2025u);
    return strstr(known, "did not answer") != NULL && strcmp(known, unknown) != 0 ? 0 : 1;
}
