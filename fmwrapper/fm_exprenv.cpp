// FM_ExprEnv_*: registering external functions with the calculation engine.
#include <algorithm>

#include "fmwrapper/function_registry.h"
#include "fmwrapper/operation_gate.h"
#include "fmwrapper/runtime_objects.h"

using fmwrapper::OperationGate;
using fmwrapper::RegisteredFunction;
using fmwrapper::RegistrationEvent;

namespace {

std::string PluginIdOf(const FMX_QuadChar& quad) { return std::string(quad.chars, 4); }

}  // namespace

extern "C" {

std::int16_t FM_ExprEnv_RegisterExternalFunction(const FMX_QuadChar* pluginId,
                                                 std::int16_t functionId, const FMX_Text* name,
                                                 const FMX_Text* prototype,
                                                 std::int16_t minParameters,
                                                 std::int16_t maxParameters, std::uint32_t flags,
                                                 FMX_ExternalFunction function,
                                                 FMX_ErrorRecord* err) {
    OperationGate gate("FM_ExprEnv_RegisterExternalFunction", err);
    if (!gate.Proceed()) {
        return kFMXErrorGeneral;
    }
    if (pluginId == nullptr || name == nullptr || prototype == nullptr || function == nullptr) {
        gate.Refuse();
        return kFMXErrorGeneral;
    }
    fmwrapper::FunctionRegistry& registry = fmwrapper::Registry();
    RegistrationEvent event;
    event.kind = RegistrationEvent::Kind::Register;
    event.pluginId = PluginIdOf(*pluginId);
    event.id = functionId;
    event.name = name->units;
    event.prototype = prototype->units;
    event.minParameters = minParameters;
    event.maxParameters = maxParameters;
    event.flags = flags;
    const auto refusal = registry.refusals.find(functionId);
    event.answer = refusal != registry.refusals.end() ? refusal->second : 0;
    if (event.answer == 0) {
        RegisteredFunction entry{event.pluginId, functionId,    name->units, prototype->units,
                                 minParameters,  maxParameters, flags,       function};
        auto same = std::find_if(registry.functions.begin(), registry.functions.end(),
                                 [&](const RegisteredFunction& f) {
                                     return f.pluginId == entry.pluginId && f.id == functionId;
                                 });
        if (same != registry.functions.end()) {
            *same = std::move(entry);
        } else {
            registry.functions.push_back(std::move(entry));
        }
        event.tableChanged = true;
    }
    registry.log.push_back(std::move(event));
    return registry.log.back().answer;
}

std::int16_t FM_ExprEnv_UnRegisterExternalFunction(const FMX_QuadChar* pluginId,
                                                   std::int16_t functionId, FMX_ErrorRecord* err) {
    OperationGate gate("FM_ExprEnv_UnRegisterExternalFunction", err);
    if (!gate.Proceed()) {
        return kFMXErrorGeneral;
    }
    if (pluginId == nullptr) {
        gate.Refuse();
        return kFMXErrorGeneral;
    }
    fmwrapper::FunctionRegistry& registry = fmwrapper::Registry();
    RegistrationEvent event;
    event.kind = RegistrationEvent::Kind::Unregister;
    event.pluginId = PluginIdOf(*pluginId);
    event.id = functionId;
    const auto removed = std::erase_if(registry.functions, [&](const RegisteredFunction& f) {
        return f.pluginId == event.pluginId && f.id == functionId;
    });
    event.tableChanged = removed != 0;
    registry.log.push_back(std::move(event));
    return 0;
}

}  // extern "C"
