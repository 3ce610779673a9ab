#include "shell/plugin_strings.h"

#include <array>

#include "platform/resources.h"
#include "shell/call_record.h"

namespace vorelle::shell {

namespace {
constexpr std::uint32_t kFunctionTextUnits = 1024;
}

std::uint32_t LoadPluginString(std::uint32_t id, char16_t* buffer, std::uint32_t bufferUnits) {
    const FMX_CallRecord* record = CurrentCallRecord();
    if (record == nullptr || buffer == nullptr || bufferUnits == 0) {
        return 0;
    }
    return platform::LoadModuleString(record->instance, id, buffer, bufferUnits);
}

void LoadFunctionText(std::uint32_t id, FMX_Text* target, bool nameOnly) {
    std::array<char16_t, kFunctionTextUnits> buffer{};
    LoadPluginString(id, buffer.data(), kFunctionTextUnits);
    CallHost([&](FMX_ErrorRecord* err) { FM_Text_AssignUnicode(target, buffer.data(), err); });
    if (!nameOnly) {
        return;
    }
    HostText parenthesis = NewHostText();
    CallHost([&](FMX_ErrorRecord* err) { FM_Text_Assign(parenthesis.get(), "(", 0, err); });
    const std::uint32_t length =
        CallHost([&](FMX_ErrorRecord* err) { return FM_Text_GetSize(target, err); });
    const std::uint32_t position = CallHost(
        [&](FMX_ErrorRecord* err) { return FM_Text_Find(target, parenthesis.get(), 0, err); });
    // When there is no "(", the host's position lies past the end and nothing
    // is deleted; the count must not wrap around then.
    const std::uint32_t count = position < length ? length - position : 0;
    CallHost([&](FMX_ErrorRecord* err) { FM_Text_DeleteText(target, position, count, err); });
    parenthesis.Delete();
}

}  // namespace vorelle::shell
