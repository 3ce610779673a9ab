// The calls into the plug-in where there is one calling convention (the
// native build and 64-bit Windows): made directly.
#include "hosting/plugin_call.h"

namespace hosting {

void CallEntryPoint(FMX_ExternCallProc entryPoint, FMX_CallRecord* record) { entryPoint(record); }

std::int16_t CallExternalFunction(FMX_ExternalFunction function, std::int16_t functionId,
                                  const FMX_ExprEnv* environment, const FMX_DataVect* parameters,
                                  FMX_Data* result) {
    return function(functionId, environment, parameters, result);
}

std::string CallCheckSummary() { return {}; }

}  // namespace hosting
