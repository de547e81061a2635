// MEMdump of an image made of the pieces (fuzz_support.h), into a directory of its own.
#include <stdlib.h>

#include <string>

#include "api/library.h"
#include "fuzz_support.h"
#include "kvtlnk/kvtlnk.h"

using namespace kvtlnk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kvtlnk-dump-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern) != nullptr ? pattern : "/tmp");
    }();
    fuzz::fillImage(library().image, fuzz::splitPieces(data, size), 16);
    MEMdump(dir.c_str());
    return 0;
}
