// FM_QuadChar_*: the four-character plug-in ID.
#include <new>

#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"

using fmwrapper::OperationGate;

extern "C" {

FMX_QuadChar* FM_QuadChar_Constructor2(char c0, char c1, char c2, char c3, FMX_ErrorRecord* err) {
    OperationGate gate("FM_QuadChar_Constructor2", err);
    if (!gate.Proceed()) {
        return nullptr;
    }
    auto* quad = new (std::nothrow) FMX_QuadChar;
    if (quad == nullptr) {
        if (err != nullptr) {
            err->code = kFMXErrorOutOfMemory;
        }
        return nullptr;
    }
    quad->chars[0] = c0;
    quad->chars[1] = c1;
    quad->chars[2] = c2;
    quad->chars[3] = c3;
    return quad;
}

void FM_QuadChar_Delete(FMX_QuadChar* quad, FMX_ErrorRecord* err) {
    OperationGate gate("FM_QuadChar_Delete", err);
    delete quad;  // also when told to fail: nobody else could ever free it
}

}  // extern "C"
