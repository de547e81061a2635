// The lab file's reader over any bytes a hand-edited file may hold: TOML or not, every key is
// checked and every problem named, never a crash; a file read without a problem gives a lab
// whose standards are complete and whose intervals are within their limits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lab/lab.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kvtlab::Problem> problems;
    const kvtlab::Lab lab = kvtlab::parseLab(std::string(reinterpret_cast<const char*>(data), size),
                                             "fuzz.toml", problems);
    for (const kvtlab::Problem& p : problems) {
        if (p.key.empty() || p.message.empty()) std::abort();
    }
    if (!problems.empty()) return 0;
    for (const auto* list : {&lab.calibrators, &lab.modules}) {
        for (const kvtlab::Standard& s : *list) {
            if (s.serial.empty() || s.certificate.empty() || !(s.calibrated < s.due)) std::abort();
        }
    }
    for (const kvtlab::Interval& i : lab.intervals) {
        if (i.days < 0 || i.days > 100 * 365 || !lab.intervalFor(i.pattern)) std::abort();
    }
    return 0;
}
