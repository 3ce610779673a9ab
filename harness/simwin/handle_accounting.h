// Internal to simwin: handle values and the counts behind CountHandles.
#pragma once

#include "simwin/handles.h"

namespace simwin::detail {

// A fresh handle value, never handed out before in this process.
Handle NewHandleValue();
// Counts one call that was given a handle that is not open.
void NoteInvalidHandle();
// Open printer handles and registry keys.
void AddMachineCounts(HandleCounts& counts);
// Open mutex and thread handles, running threads.
void AddKernelCounts(HandleCounts& counts);

}  // namespace simwin::detail
