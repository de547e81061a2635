// The library of the process. It is defined here, in one translation unit, so that it is built
// at load before any export can run and taken down at unload after the last.
#include "api/library.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kvtlnk {

namespace {

Library gLibrary;

}  // namespace

Library::Library(const Seams& s)
    : seams(s),
      setup(setupLog, kLogCapacity),
      promptFont(ProportionalFont::helvr12()),
      serialPort(seams.systemCalls, seams.trace),
      link(serialPort) {
    image.procedure().setStampClock(seams.clock);
    image.results().setStampClock(seams.clock);
    session.waitSeconds = seams.sleep;
}

Library& library() {
    return gLibrary;
}

}  // namespace kvtlnk

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    // Thread attach and detach notifications are of no use to the library.
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
