// Selection of the registry in use, and the key owner.
#include "platform/registry.h"

namespace platform {

RegistryApi& DefaultRegistry(); // registry_win.cpp, or registry_memory.cpp off Windows

namespace {
RegistryApi* g_override = nullptr;
}

RegistryApi& Registry() { return g_override ? *g_override : DefaultRegistry(); }

ScopedRegistry::ScopedRegistry(RegistryApi& replacement) : previous_(g_override) { g_override = &replacement; }
ScopedRegistry::~ScopedRegistry() { g_override = previous_; }

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        Close();
        key_ = other.Release();
    }
    return *this;
}

void RegistryKey::Close() {
    if (key_) {
        Registry().CloseKey(key_);
        key_ = nullptr;
    }
}

} // namespace platform
