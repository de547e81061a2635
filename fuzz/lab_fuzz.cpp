// The lab file's reader over any bytes a hand-edited file may hold: TOML or not, every key is
// checked and every problem named, never a crash; a file read without a problem gives a lab
// whose standards are complete and found by their serial numbers, whose intervals are within
// their limits and found by their patterns, and whose relative archive is beside the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lab/lab.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kvtlab::Problem> problems;
    const kvtlab::Lab lab = kvtlab::parseLab(std::string(reinterpret_cast<const char*>(data), size),
                                             "bench/lab.toml", problems);
    for (const kvtlab::Problem& p : problems) {
        if (p.key.empty() || p.message.empty()) std::abort();
    }
    if (!problems.empty()) return 0;
    for (const auto* list : {&lab.calibrators, &lab.modules}) {
        for (const kvtlab::Standard& s : *list) {
            if (s.serial.empty() || s.certificate.empty() || !(s.calibrated < s.due)) std::abort();
            if (list == &lab.calibrators ? !lab.calibrator(s.serial) : !lab.module(s.serial, ""))
                std::abort();
        }
    }
    for (const kvtlab::Standard& m : lab.modules) {
        if (!(kvtlab::pascalsPer(m.units) > 0) || !(m.rangeLow < m.rangeHigh)) std::abort();
    }
    for (const kvtlab::Interval& i : lab.intervals) {
        if (i.days < 0 || i.days > 100 * 365 || !lab.intervalFor(i.pattern)) std::abort();
    }
    for (const char* tag : {"PT-101", "", "*", "[", "TT-7"})
        lab.intervalFor(tag);
    const std::string& a = lab.archive;
    const bool asWritten = a.empty() || a[0] == '/' || a.find("://") != std::string::npos ||
                           a.rfind("file:", 0) == 0 || a == ":memory:";
    if (!asWritten && a.rfind("bench/", 0) != 0) std::abort();
    return 0;
}
