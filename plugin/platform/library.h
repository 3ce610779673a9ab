// The library's own end, as the loader reports it.
#pragma once

namespace vorelle::platform {

// Defined by the plug-in's logic; called by the loader's side of the facade
// (DllMain on Windows) when the library is unloaded while the process goes on
// (FreeLibrary), whether or not a shutdown message came first. It runs on the
// unloading thread under the loader's lock, so it must not wait for anything.
// Never called at process exit: the process's other threads are gone by then,
// wherever they stood, and the library runs nothing of its own; what it holds
// is left to the ending process.
void LibraryUnloading() noexcept;

}  // namespace vorelle::platform
