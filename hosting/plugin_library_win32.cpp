// Loading the plug-in on Windows: LoadLibraryW; its instance handle is the
// HMODULE, from which the plug-in reads its string table.
#include <windows.h>

#include <bit>
#include <vector>

#include "fmwrapper/host_runtime.h"
#include "hosting/plugin_library.h"

namespace hosting {
namespace {

std::string LastErrorText() {
    return "Windows error " + std::to_string(GetLastError());
}

}  // namespace

std::optional<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    const std::u16string widePath = fmwrapper::Utf8ToUtf16(path);
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(widePath.c_str()));
    if (module == nullptr) {
        error = "cannot load the plug-in " + path + ": " + LastErrorText();
        return std::nullopt;
    }
    FARPROC entry = GetProcAddress(module, "FMExternCallProc");
    if (entry == nullptr) {
        FreeLibrary(module);
        error = "the plug-in " + path + " has no entry point FMExternCallProc";
        return std::nullopt;
    }
    PluginLibrary library;
    library.module_ = module;
    library.entryPoint_ = std::bit_cast<FMX_ExternCallProc>(entry);
    library.instance_ = reinterpret_cast<std::uintptr_t>(module);
    return library;
}

bool PluginLibrary::Contains(FMX_ExternalFunction function) const {
    if (module_ == nullptr || function == nullptr) {
        return false;
    }
    // The module whose image holds the code: the allocation the address lies
    // in starts at the module's handle (VirtualQuery, as Windows 2000 has no
    // GetModuleHandleExW, and Vorelle Check loads plug-ins there).
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(std::bit_cast<const void*>(function), &region, sizeof region) != sizeof region) {
        return false;
    }
    return reinterpret_cast<std::uintptr_t>(region.AllocationBase) == instance_;
}

void PluginLibrary::Close() {
    if (module_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module_));
        module_ = nullptr;
        entryPoint_ = nullptr;
        instance_ = 0;
    }
}

std::string DefaultPluginPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return "Vorelle.fmx";
        }
        if (n < buffer.size()) {
            std::u16string exe(reinterpret_cast<const char16_t*>(buffer.data()), n);
            const std::size_t slash = exe.find_last_of(u"\\/");
            const std::u16string folder = slash == std::u16string::npos ? u"." : exe.substr(0, slash);
            return fmwrapper::Utf16ToUtf8(folder) + "\\Vorelle.fmx";
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace hosting
