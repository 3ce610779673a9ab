#include "shell/call_record.h"

namespace vorelle::shell {
namespace {
FMX_CallRecord* gCurrentCallRecord = nullptr;
}

void SetCurrentCallRecord(FMX_CallRecord* record) { gCurrentCallRecord = record; }
FMX_CallRecord* CurrentCallRecord() { return gCurrentCallRecord; }

}  // namespace vorelle::shell
