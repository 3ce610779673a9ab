// A plug-in that breaks the host's calling convention, for fmhost's check on
// 32-bit Windows (hosting/plugin_call_i686.cpp). Built twice:
// ENTRY_CONVENTION is the convention of FMExternCallProc (__cdecl in
// cdecl_entry.fmx, __stdcall in cdecl_function.fmx); the one function it
// registers at start-up, CDCL_Probe, is __cdecl in both.
#include <bit>

#include "hostsdk/FMWrapper.h"

namespace {

extern "C" std::int16_t __cdecl Probe(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 0;
}

void RegisterProbe() {
    FMX_ErrorRecord error{1, 0};
    FMX_QuadChar* id = FM_QuadChar_Constructor2('C', 'D', 'C', 'L', &error);
    FMX_Text* name = FM_Text_Constructor1(&error);
    FM_Text_AssignUnicode(name, u"CDCL_Probe", &error);
    FM_ExprEnv_RegisterExternalFunction(id, 1, name, name, 0, 0, 0,
                                        std::bit_cast<FMX_ExternalFunction>(&Probe), &error);
    FM_Text_Delete(name, &error);
    FM_QuadChar_Delete(id, &error);
}

}  // namespace

extern "C" FMX_PLUGIN_EXPORT void ENTRY_CONVENTION FMExternCallProc(FMX_CallRecord* record) {
    if (record->message == kFMXMessageStartup) {
        RegisterProbe();
        record->result = kFMXCurrentInterfaceVersion;
    }
}
