// The loader's notice to the library on the simulated Windows, as DllMain gets
// it on Windows: the library's ELF destructor runs when its last reference is
// released (dlclose, FreeLibrary's counterpart) and when the process exits.
// Only the first is handed on; at the process's exit, which the simulated
// Windows tells apart, nothing of the library's runs.
#include "platform/library.h"
#include "simwin/process_end.h"

namespace {

__attribute__((destructor)) void LibraryDetach() {
    if (!simwin::ProcessEnding()) {
        vorelle::platform::LibraryUnloading();
    }
}

}  // namespace
