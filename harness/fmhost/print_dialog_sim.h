// The host's Print dialog on the simulated Windows (native build only).
#pragma once

#include "fmhost/host_platform.h"
#include "simwin/print_dialog.h"

namespace fmhost {

// The dialog in the standard layout with `texts`, listing the machine's
// printers in the spooler's order with the default printer selected.
simwin::PrintDialogOptions MachinePrintDialog(const hosting::DialogTexts& texts);

}  // namespace fmhost
