// Every FM_* operation passes this gate first: it counts the operation, sets
// the error record, and makes the operation fail when a test armed a failure
// for it.
#pragma once

#include <cstdint>

#include "hostsdk/FMWrapper.h"

namespace fmwrapper {

class OperationGate {
public:
    // Counts the operation `name`; clears the error record, or sets the armed
    // failure code when this is the operation that must fail.
    OperationGate(const char* name, FMX_ErrorRecord* err);

    // False when the operation must do nothing (an armed failure hit it).
    bool Proceed() const { return proceed_; }

    // Reports a fault of the caller's arguments (a missing object).
    void Refuse();

private:
    FMX_ErrorRecord* err_;
    bool proceed_ = true;
};

}  // namespace fmwrapper
