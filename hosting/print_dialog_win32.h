// Resource id of the host's Print dialog template (print_dialog_win32.rc).
// Read by the resource compiler as well: definitions only.
#pragma once

#define HOST_PRINT_DIALOG 1538
