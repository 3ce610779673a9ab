// The end of the process, as Windows ends it (ExitProcess): every other thread
// is stopped for good wherever it is, then each library gets its
// process-exit notice (DLL_PROCESS_DETACH with lpReserved not null), then the
// process is gone.
#pragma once

namespace simwin {

// Whether the process has begun to end: exit() has been called (simwin
// watches for it from the moment it is loaded), or EndProcess.
bool ProcessEnding();

// Called by the simulated kernel on every Sleep and tick read: a thread started
// through CreateThread* stops here for good once the process is ending, as
// Windows terminates the other threads at exit. Any other thread goes on.
void StopIfProcessEnding();
// For the kernel: the calling thread is one that CreateThread* started.
void NoteThreadStartedByKernel();

// ExitProcess for one library: the process begins to end; the threads started
// through CreateThread* stop at their next call into the kernel (EndProcess
// waits at most 5 s for them); then the library `module` (a dlopen handle)
// gets its process-exit notice: its ELF finalizers run, as the loader runs
// them at exit (its static destructors and its destructor functions); then the
// process ends with `status` at once, running nothing of any other module.
[[noreturn]] void EndProcess(void* module, int status);

// Whether EndProcess is running a library's finalizers, for a test's
// allocator to look at.
bool LibraryExitNoticeRunning();

}  // namespace simwin
