// Every call the host makes into the plug-in's code: its entry point and the
// functions it registered. On 32-bit Windows each call goes through a thunk
// that measures how many bytes of arguments the callee took off the stack:
// __stdcall takes them all (4 for FMExternCallProc, 16 for a function),
// __cdecl none. Any other figure ends the process at once with exit status
// kCallingConventionExitStatus and a message naming the call and the figure:
// the real host would go on with its stack off by that much. Elsewhere there is
// one calling convention and the call is made directly.
#pragma once

#include <cstdint>
#include <string>

#include "hostsdk/FMWrapper.h"

namespace hosting {

inline constexpr int kCallingConventionExitStatus = 4;

void CallEntryPoint(FMX_ExternCallProc entryPoint, FMX_CallRecord* record);

// The shape of fmwrapper::FunctionCaller.
std::int16_t CallExternalFunction(FMX_ExternalFunction function, std::int16_t functionId,
                                  const FMX_ExprEnv* environment, const FMX_DataVect* parameters,
                                  FMX_Data* result);

// How many calls were checked and what each removed ("calling convention
// checked: ..."); empty where nothing is checked.
std::string CallCheckSummary();

}  // namespace hosting
