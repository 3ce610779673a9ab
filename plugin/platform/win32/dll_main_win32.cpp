// The library's entry point for the loader's notices. Only the unloading of
// the library while the process goes on (FreeLibrary: DLL_PROCESS_DETACH with
// a null lpReserved) is handed on. At process exit (lpReserved not null)
// Windows has already ended every other thread wherever it stood, one perhaps
// holding the heap's lock or stopped half-way through the hand-off record:
// nothing of the library's own runs then, nothing is freed, and the library
// holds no object whose destructor the runtime would run after this returns
// (checked by tests/exit_time_destructors.py).
#include "platform/win32/win32_api.h"

#include "platform/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        vorelle::platform::LibraryUnloading();
    }
    return TRUE;
}
