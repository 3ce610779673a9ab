// FM_FixPt_*: the host's numbers.
#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"

using fmwrapper::OperationGate;

extern "C" {

std::int32_t FM_FixPt_AsLong(const FMX_FixPt* number, FMX_ErrorRecord* err) {
    OperationGate gate("FM_FixPt_AsLong", err);
    if (!gate.Proceed()) {
        return 0;
    }
    if (number == nullptr) {
        gate.Refuse();
        return 0;
    }
    return number->value.ToInt32();
}

}  // extern "C"
