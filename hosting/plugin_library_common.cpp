#include <utility>

#include "hosting/plugin_library.h"

namespace hosting {

PluginLibrary::~PluginLibrary() { Close(); }

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : module_(std::exchange(other.module_, nullptr)),
      entryPoint_(std::exchange(other.entryPoint_, nullptr)),
      instance_(std::exchange(other.instance_, 0)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        module_ = std::exchange(other.module_, nullptr);
        entryPoint_ = std::exchange(other.entryPoint_, nullptr);
        instance_ = std::exchange(other.instance_, 0);
    }
    return *this;
}

}  // namespace hosting
