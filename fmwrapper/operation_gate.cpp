#include "fmwrapper/operation_gate.h"


#include "fmwrapper/failure_injection.h"

namespace fmwrapper {

OperationGate::OperationGate(const char* name, FMX_ErrorRecord* err) : err_(err) {
    const std::int32_t code = CountOperation(name);
    if (err_ != nullptr) {
        err_->code = code;
    }
    proceed_ = code == kFMXErrorNone;
}

void OperationGate::Refuse() {
    if (err_ != nullptr) {
        err_->code = kFMXErrorGeneral;
    }
    proceed_ = false;
}

}  // namespace fmwrapper
