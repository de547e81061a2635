// Whole sessions against a calibrator whose every reply comes from the input, behind the
// serial port's system calls: the pieces are the reply packets in order (fuzz_support.h).
#include "fuzz_support.h"

using namespace kvtlnk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptedCalibrator calibrator(
        fuzz::ScriptedCalibrator::fromPieces(fuzz::splitPieces(data, size)));
    fuzz::CalibratorOnPort port(calibrator);
    fuzz::runSession(port.library());
    return 0;
}
