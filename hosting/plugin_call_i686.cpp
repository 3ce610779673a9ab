// The calls into the plug-in on 32-bit Windows, made through a thunk that
// compares the stack pointer before and after the call (see plugin_call.h).
#include <windows.h>

#include <bit>
#include <cstdio>

#include "fmwrapper/host_runtime.h"
#include "hosting/plugin_call.h"

// hosting_measured_call(target, arguments, count, returned): pushes the `count`
// 32-bit `arguments` (the first one last, so that it lies nearest the return
// address) onto a stack aligned to 16 bytes at the call, calls `target`,
// stores EAX in *returned and answers how many bytes the callee removed from
// the stack. The stack is restored from EBP, whatever the callee did to ESP.
extern "C" __attribute__((naked, noinline)) std::int32_t hosting_measured_call(
    const void*, const std::uint32_t*, std::uint32_t, std::uint32_t*) {
    asm(R"(
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 0(,%ecx,4), %eax
    movl %esp, %edx
    subl %eax, %edx
    andl $-16, %edx
    addl %eax, %edx
    movl %edx, %esp
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %ebx
    call *8(%ebp)
    movl 20(%ebp), %edx
    movl %eax, (%edx)
    movl %esp, %eax
    subl %ebx, %eax
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
}

namespace hosting {
namespace {

constexpr std::int32_t kEntryPointBytes = 4;
constexpr std::int32_t kFunctionBytes = 16;

std::uint64_t entryPointCalls = 0;
std::uint64_t functionCalls = 0;

std::uint32_t Word(const void* pointer) {
    return static_cast<std::uint32_t>(std::bit_cast<std::uintptr_t>(pointer));
}

// Ends the process there and then: the plug-in's threads and its unloading
// must not run on after a call that broke the host's stack discipline.
[[noreturn]] void Stop(const std::string& call, std::int32_t removed, std::int32_t expected) {
    std::fflush(nullptr);
    std::fprintf(stderr,
                 "calling convention: %s removed %ld bytes of arguments from the stack, "
                 "not the %ld of __stdcall%s; stopped\n",
                 call.c_str(), static_cast<long>(removed), static_cast<long>(expected),
                 removed == 0 ? " (0 is __cdecl)" : "");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), kCallingConventionExitStatus);
    std::_Exit(kCallingConventionExitStatus);
}

std::string FunctionName(FMX_ExternalFunction function, std::int16_t functionId) {
    for (const fmwrapper::RegisteredFunction& f : fmwrapper::RegisteredFunctions()) {
        if (f.function == function && f.id == functionId) {
            return fmwrapper::Utf16ToUtf8(f.name);
        }
    }
    return "the function";
}

}  // namespace

void CallEntryPoint(FMX_ExternCallProc entryPoint, FMX_CallRecord* record) {
    const std::uint32_t arguments[] = {Word(record)};
    std::uint32_t returned = 0;
    const std::int32_t removed =
        hosting_measured_call(std::bit_cast<const void*>(entryPoint), arguments, 1, &returned);
    if (removed != kEntryPointBytes) {
        Stop("FMExternCallProc (message " + std::to_string(record->message) + ")", removed,
             kEntryPointBytes);
    }
    ++entryPointCalls;
}

std::int16_t CallExternalFunction(FMX_ExternalFunction function, std::int16_t functionId,
                                  const FMX_ExprEnv* environment, const FMX_DataVect* parameters,
                                  FMX_Data* result) {
    const std::uint32_t arguments[] = {static_cast<std::uint32_t>(std::int32_t{functionId}),
                                       Word(environment), Word(parameters), Word(result)};
    std::uint32_t returned = 0;
    const std::int32_t removed =
        hosting_measured_call(std::bit_cast<const void*>(function), arguments, 4, &returned);
    if (removed != kFunctionBytes) {
        Stop(FunctionName(function, functionId) + " (function id " + std::to_string(functionId) + ")",
             removed, kFunctionBytes);
    }
    ++functionCalls;
    return static_cast<std::int16_t>(returned);
}

std::string CallCheckSummary() {
    return "calling convention checked: " + std::to_string(entryPointCalls) +
           " calls of FMExternCallProc removed 4 bytes each, " + std::to_string(functionCalls) +
           " function calls removed 16 bytes each";
}

}  // namespace hosting
