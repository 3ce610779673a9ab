// Resource ids of the host's custom dialog (custom_dialog_win32.rc).
// Read by the resource compiler as well: definitions only.
#pragma once

#define FMHOST_CUSTOM_DIALOG 1539
#define FMHOST_CUSTOM_MESSAGE 1001
