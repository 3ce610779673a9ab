// The host's record of the FMExternCallProc call in progress. One per module:
// the host never overlaps two messages.
#pragma once

#include "hostsdk/FMWrapper.h"

namespace vorelle::shell {

void SetCurrentCallRecord(FMX_CallRecord* record);
FMX_CallRecord* CurrentCallRecord();

}  // namespace vorelle::shell
