// Loading the plug-in natively: an ELF shared object opened with dlopen. Its
// instance handle is its load address, which the plug-in's string lookup
// compares with its own module's.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <bit>

#include "hosting/plugin_library.h"

namespace hosting {
namespace {

std::uintptr_t ModuleBaseOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0) {
        return 0;
    }
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

std::optional<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        error = "cannot load the plug-in " + path + ": " + (reason != nullptr ? reason : "unknown");
        return std::nullopt;
    }
    void* entry = dlsym(module, "FMExternCallProc");
    if (entry == nullptr) {
        dlclose(module);
        error = "the plug-in " + path + " has no entry point FMExternCallProc";
        return std::nullopt;
    }
    PluginLibrary library;
    library.module_ = module;
    library.entryPoint_ = std::bit_cast<FMX_ExternCallProc>(entry);
    library.instance_ = ModuleBaseOf(entry);
    return library;
}

bool PluginLibrary::Contains(FMX_ExternalFunction function) const {
    return module_ != nullptr && function != nullptr &&
           ModuleBaseOf(std::bit_cast<const void*>(function)) == instance_;
}

void PluginLibrary::Close() {
    if (module_ != nullptr) {
        dlclose(module_);
        module_ = nullptr;
        entryPoint_ = nullptr;
        instance_ = 0;
    }
}

std::string DefaultPluginPath() {
    char buffer[PATH_MAX + 1] = {};
    const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    std::string exe = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    const std::size_t slash = exe.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    return folder + "/Vorelle.fmx";
}

}  // namespace hosting
