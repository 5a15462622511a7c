// Selection of the registry in use, the key owner, and the guard of writes.
#include "platform/registry.h"

#include <mutex>

namespace platform {

RegistryApi& DefaultRegistry(); // registry_win.cpp, or registry_memory.cpp off Windows

namespace {
RegistryApi* g_override = nullptr;

std::recursive_mutex& WriteLock() {
    // Never destroyed: a thread may stop writes while the process ends.
    static auto* lock = new std::recursive_mutex;
    return *lock;
}
} // namespace

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

RegistryWriteScope::RegistryWriteScope() { WriteLock().lock(); }
RegistryWriteScope::~RegistryWriteScope() { WriteLock().unlock(); }

void StopRegistryWrites() { WriteLock().lock(); }

} // namespace platform
