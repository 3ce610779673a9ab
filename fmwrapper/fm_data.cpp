// FM_Data_*: a function's result value and its locale.
#include "fmwrapper/host_runtime.h"
#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"

using fmwrapper::OperationGate;

extern "C" {

const FMX_Locale* FM_Data_GetLocale(const FMX_Data* data, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Data_GetLocale", err);
    if (!gate.Proceed()) {
        return nullptr;
    }
    if (data == nullptr) {
        gate.Refuse();
        return nullptr;
    }
    return &data->locale;
}

std::uint8_t FM_Data_SetAsText(FMX_Data* data, const FMX_Text* text, const FMX_Locale* locale,
                               std::int32_t nativeType, FMX_ErrorRecord* err) {
    OperationGate gate("FM_Data_SetAsText", err);
    if (!gate.Proceed()) {
        return 0;
    }
    if (data == nullptr || text == nullptr || locale == nullptr) {
        gate.Refuse();
        return 0;
    }
    data->writtenWithOwnLocale = locale == &data->locale || locale->name == data->locale.name;
    data->writtenLocaleName = locale->name;
    data->text.units = text->units;
    data->number.value = fmwrapper::DecimalNumber::LeadingNumber(text->units);
    data->nativeType = nativeType;
    ++data->writeCount;
    return 1;
}

}  // extern "C"
