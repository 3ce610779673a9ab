// The print-dialog watcher: the body of the thread that waits for the host's
// Print dialog, selects the job's printer in it and confirms it.
#pragma once

namespace vorelle::printdialog {

// Thread entry; `record` is the PrintJobHandoff. Ends by reporting how its job
// ended, then marking the record's watcher idle, its last access to the record.
void PrintDialogWatcher(void* record);

}  // namespace vorelle::printdialog
