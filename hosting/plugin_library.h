// A plug-in library loaded into the host: its entry point FMExternCallProc and
// its instance handle (the module the plug-in reads its string table from).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hostsdk/FMWrapper.h"

namespace hosting {

class PluginLibrary {
public:
    // Loads the library at `path` (UTF-8) and finds FMExternCallProc; none,
    // with the reason in `error`, when either fails.
    static std::optional<PluginLibrary> Open(const std::string& path, std::string& error);

    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(PluginLibrary&& other) noexcept;
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    explicit operator bool() const { return module_ != nullptr; }
    FMX_ExternCallProc EntryPoint() const { return entryPoint_; }
    // Natively the library's load address, on Windows its HMODULE.
    std::uintptr_t Instance() const { return instance_; }
    // Whether the code at `function` belongs to this library.
    bool Contains(FMX_ExternalFunction function) const;

    // Unloads the library now.
    void Close();

private:
    void* module_ = nullptr;
    FMX_ExternCallProc entryPoint_ = nullptr;
    std::uintptr_t instance_ = 0;
};

// Vorelle.fmx in the folder of the running executable.
std::string DefaultPluginPath();

}  // namespace hosting
