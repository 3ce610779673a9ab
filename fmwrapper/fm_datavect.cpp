// FM_DataVect_*: the parameter vector of a function call.
#include "fmwrapper/call_log.h"
#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"

using fmwrapper::OperationGate;

namespace {

// A position past the end reads as an empty text, number 0.
const FMX_Data& ValueAt(const FMX_DataVect& vect, std::uint32_t position) {
    fmwrapper::LogCall("FM_DataVect_At", vect.values.size(), position);
    return position < vect.values.size() ? *vect.values[position] : vect.outOfRange;
}

}  // namespace

extern "C" {

std::uint32_t FM_DataVect_Size(const FMX_DataVect* vect, FMX_ErrorRecord* err) {
    OperationGate gate("FM_DataVect_Size", err);
    if (!gate.Proceed()) {
        return 0;
    }
    if (vect == nullptr) {
        gate.Refuse();
        return 0;
    }
    return static_cast<std::uint32_t>(vect->values.size());
}

const FMX_Text* FM_DataVect_AtAsText(const FMX_DataVect* vect, std::uint32_t position,
                                     FMX_ErrorRecord* err) {
    OperationGate gate("FM_DataVect_AtAsText", err);
    if (!gate.Proceed()) {
        return nullptr;
    }
    if (vect == nullptr) {
        gate.Refuse();
        return nullptr;
    }
    return &ValueAt(*vect, position).text;
}

const FMX_FixPt* FM_DataVect_AtAsNumber(const FMX_DataVect* vect, std::uint32_t position,
                                        FMX_ErrorRecord* err) {
    OperationGate gate("FM_DataVect_AtAsNumber", err);
    if (!gate.Proceed()) {
        return nullptr;
    }
    if (vect == nullptr) {
        gate.Refuse();
        return nullptr;
    }
    return &ValueAt(*vect, position).number;
}

std::uint8_t FM_DataVect_AtAsBoolean(const FMX_DataVect* vect, std::uint32_t position,
                                     FMX_ErrorRecord* err) {
    OperationGate gate("FM_DataVect_AtAsBoolean", err);
    if (!gate.Proceed()) {
        return 0;
    }
    if (vect == nullptr) {
        gate.Refuse();
        return 0;
    }
    return ValueAt(*vect, position).number.value.IsZero() ? 0 : 1;
}

}  // extern "C"
