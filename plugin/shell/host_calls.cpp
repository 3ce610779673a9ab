#include "shell/host_calls.h"

#include <exception>
#include <new>

namespace vorelle::shell {

void ThrowHostError(std::int32_t code) {
    if (code == kFMXErrorOutOfMemory) {
        throw std::bad_alloc();
    }
    if (code == kFMXErrorGeneral) {
        throw std::exception();
    }
}

HostText NewHostText() {
    return HostText(CallHost([](FMX_ErrorRecord* err) { return FM_Text_Constructor1(err); }));
}

HostQuadChar NewPluginId() {
    return HostQuadChar(CallHost(
        [](FMX_ErrorRecord* err) { return FM_QuadChar_Constructor2('V', 'O', 'R', 'L', err); }));
}

}  // namespace vorelle::shell
