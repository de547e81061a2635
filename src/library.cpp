// The library's process-wide objects. They are defined here, in one translation unit and in
// this order, so that they are constructed at load in the order the calibrator's start-up
// needs (memories, setup, text tables, font, then the session and its serial link) and
// destroyed at unload in the reverse order.
#include "memory/memory_image.h"
#include "propkt/link.h"
#include "session/session_state.h"
#include "setup/setup_state.h"
#include "support/font.h"
#include "support/text_tables.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kvtlnk {

namespace {

MemoryImage gImage;  // procedure memory, then results memory
float gLogSamples[kLogCapacity];
SetupState gSetupState(gLogSamples, kLogCapacity);           // the calibrator's setup and its log
TextTables gTextTables;                                      // unit symbols and prefix letters
ProportionalFont gPromptFont = ProportionalFont::helvr12();  // the prompt area's font
SessionState gSession;                                       // plain data, constant-initialised
SerialPort gSerialPort;                                      // closed until KVTopen
Link gLink(gSerialPort);  // no packet port until KVTopen; goes before the port at unload

}  // namespace

MemoryImage& theImage() {
    return gImage;
}
SetupState& theSetupState() {
    return gSetupState;
}
TextTables& theTextTables() {
    return gTextTables;
}
SessionState& theSession() {
    return gSession;
}
const ProportionalFont& thePromptFont() {
    return gPromptFont;
}
Link& theLink() {
    return gLink;
}

}  // namespace kvtlnk

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    // Thread attach and detach notifications are of no use to the library.
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
