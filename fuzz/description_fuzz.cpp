// The checker of procedure descriptions (kvtlnk download, show and dump --from) over any text:
// JSON read with its keys checked, every field checked, prompt texts fitted to the display and
// setups made with the STA setters of the library: no text makes it crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "procedure/description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kvtapp::Problem> problems;
    kvtapp::parseProcedure(std::string(reinterpret_cast<const char*>(data), size), problems);
    return 0;
}
