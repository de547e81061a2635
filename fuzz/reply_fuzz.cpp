// Reply lines as the calibrator sends them: split into fields (whole and cut short), each read
// as a number, and the whole line as one.
#include <algorithm>
#include <vector>

#include "session/command.h"

using namespace kvtlnk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplyLine line;
    line.assign(data, static_cast<uint32_t>(size));
    line.asNumber();
    char field[kLongLine + 1];
    while (line.field(field, sizeof field))
        readDecimal(field);
    line.assign(data, static_cast<uint32_t>(size));
    int32_t value = 0;
    if (line.skip(5)) line.number(&value);

    std::vector<uint8_t> bytes(data, data + std::min<size_t>(size, kLongLine));
    const auto n = static_cast<uint16_t>(bytes.size());
    PacketBuffer reader(bytes.data(), n, n);
    char cut[4];
    while (nextField(reader, cut, sizeof cut)) {
    }
    return 0;
}
