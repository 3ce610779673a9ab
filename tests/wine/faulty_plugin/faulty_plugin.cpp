// A plug-in that breaks one of Vorelle's promises, for Vorelle Check's own
// test: its VORL_GetPrinterAt answers a printer the spooler does not list,
// whatever the position. It registers that one function, with the prototype
// of the plug-in's string table, and unregisters it at shutdown.
#include <bit>

#include "hostsdk/FMWrapper.h"

namespace {

constexpr std::int16_t kGetPrinterAt = 146;

FMX_QuadChar* PluginId(FMX_ErrorRecord* error) { return FM_QuadChar_Constructor2('V', 'O', 'R', 'L', error); }

std::int16_t FMX_STDCALL GetPrinterAt(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data* result) {
    FMX_ErrorRecord error{1, 0};
    FMX_Text* text = FM_Text_Constructor1(&error);
    FM_Text_AssignUnicode(text, u"Nobody's Printer", &error);
    FM_Data_SetAsText(result, text, FM_Data_GetLocale(result, &error), 1, &error);
    FM_Text_Delete(text, &error);
    return 0;
}

void Register() {
    FMX_ErrorRecord error{1, 0};
    FMX_QuadChar* id = PluginId(&error);
    FMX_Text* name = FM_Text_Constructor1(&error);
    FMX_Text* prototype = FM_Text_Constructor1(&error);
    FM_Text_AssignUnicode(name, u"VORL_GetPrinterAt", &error);
    FM_Text_AssignUnicode(prototype, u"VORL_GetPrinterAt( index )", &error);
    FM_ExprEnv_RegisterExternalFunction(id, kGetPrinterAt, name, prototype, 1, 1, 0xFF01,
                                        std::bit_cast<FMX_ExternalFunction>(&GetPrinterAt), &error);
    FM_Text_Delete(prototype, &error);
    FM_Text_Delete(name, &error);
    FM_QuadChar_Delete(id, &error);
}

void Unregister() {
    FMX_ErrorRecord error{1, 0};
    FMX_QuadChar* id = PluginId(&error);
    FM_ExprEnv_UnRegisterExternalFunction(id, kGetPrinterAt, &error);
    FM_QuadChar_Delete(id, &error);
}

}  // namespace

extern "C" FMX_PLUGIN_EXPORT void FMX_STDCALL FMExternCallProc(FMX_CallRecord* record) {
    if (record->message == kFMXMessageStartup) {
        Register();
        record->result = kFMXCurrentInterfaceVersion;
    } else if (record->message == kFMXMessageShutdown) {
        Unregister();
    }
}
