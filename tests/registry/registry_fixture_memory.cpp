// The registry fixture over a fresh in-memory registry.
#include "tests/registry/registry_fixture.h"

#include "platform/registry_memory.h"

struct RegistryTest::Backend {
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
};

RegistryTest::RegistryTest() = default;
RegistryTest::~RegistryTest() = default;

void RegistryTest::SetUp() { backend_ = std::make_unique<Backend>(); }

void RegistryTest::Seed(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                        const std::vector<BYTE>& data) {
    backend_->registry.Put(root, path, name, type, data);
}

void RegistryTest::SeedKey(HKEY root, const std::wstring& path) { backend_->registry.AddKey(root, path); }

std::optional<RawValue> RegistryTest::Raw(HKEY root, const std::wstring& path, const std::wstring& name) {
    auto raw = backend_->registry.Get(root, path, name);
    if (!raw) return std::nullopt;
    return RawValue{raw->type, raw->data};
}

bool RegistryTest::KeyExists(HKEY root, const std::wstring& path) { return backend_->registry.HasKey(root, path); }

// The in-memory registry keeps the 32-bit view under WOW6432Node, where a
// 64-bit process reaches it with KEY_WOW64_32KEY.
std::wstring RegistryTest::View32(const std::wstring& softwarePath) {
    if (sizeof(void*) != 8) return softwarePath;
    return L"Software\\WOW6432Node" + softwarePath.substr(softwarePath.find(L'\\'));
}
