// The registry part of the facade on the simulated Windows.
#include "platform/registry.h"

#include <cstring>
#include <vector>

#include "platform/trace.h"
#include "simwin/errors.h"
#include "simwin/registry.h"

namespace vorelle::platform {
namespace {

// True for ERROR_SUCCESS; any other status is traced as the failure of `call`.
bool Succeeded(std::int32_t status, std::u16string_view call) {
    if (status == static_cast<std::int32_t>(simwin::kErrorSuccess)) {
        return true;
    }
    TraceFailure(call, static_cast<std::uint32_t>(status));
    return false;
}

}  // namespace

void RegistryKeyTraits::Close(RawHandle handle) { (void)simwin::RegCloseKey(handle); }

RegistryKey RegistryKey::OpenCurrentUser(const std::u16string& path, KeyAccess access) {
    simwin::Handle key = 0;
    std::uint32_t rights = access == KeyAccess::QueryValue ? simwin::kKeyQueryValue : simwin::kKeySetValue;
    if (!Succeeded(simwin::RegOpenKey(path.c_str(), rights, key), u"RegOpenKeyExW")) {
        return RegistryKey(0);
    }
    return RegistryKey(key);
}

std::optional<std::uint32_t> RegistryKey::ValueSize(const std::u16string& name) const {
    std::uint32_t size = 0;
    if (!Succeeded(simwin::RegQueryValue(key_.get(), name.c_str(), nullptr, nullptr, &size),
                   u"RegQueryValueExW")) {
        return std::nullopt;
    }
    return size;
}

bool RegistryKey::ReadValue(const std::u16string& name, void* buffer, std::uint32_t& size) const {
    return Succeeded(
        simwin::RegQueryValue(key_.get(), name.c_str(), nullptr, static_cast<std::uint8_t*>(buffer), &size),
        u"RegQueryValueExW");
}

bool RegistryKey::SetString(const std::u16string& name, std::u16string_view text) const {
    std::vector<std::uint8_t> bytes(2 * text.size() + 2, 0);  // the text and its terminating null
    if (!text.empty()) {
        std::memcpy(bytes.data(), text.data(), 2 * text.size());
    }
    return Succeeded(simwin::RegSetValue(key_.get(), name.c_str(), simwin::kRegSz, bytes.data(),
                                         static_cast<std::uint32_t>(bytes.size())),
                     u"RegSetValueExW");
}

}  // namespace vorelle::platform
