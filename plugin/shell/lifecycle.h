// Start-up and shutdown of the plug-in.
#pragma once

#include "hostsdk/FMWrapper.h"

namespace vorelle::shell {

// Start-up message: the interface version gate, registration of the function
// table, creation of the printer services and the print-job hand-off. Writes
// the answer (51, or -1 for a refused interface version) into the record's
// result field. A host failure raises; nothing is answered then, and what the
// start-up registered or created is undone first (a second start-up of a
// started plug-in leaves it as it was).
void Startup(FMX_CallRecord& record);

// Shutdown message: unregisters the functions and tears down what start-up
// created, waiting until no watcher thread runs.
void Shutdown();

}  // namespace vorelle::shell
