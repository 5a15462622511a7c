// The registry seam over advapi32.
#include "platform/registry.h"

namespace platform {
namespace {

class WindowsRegistry final : public RegistryApi {
public:
    LONG OpenKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) override {
        return RegOpenKeyExW(root, subKey, 0, sam, result);
    }
    LONG CreateKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) override {
        wchar_t noClass[] = L"";
        return RegCreateKeyExW(root, subKey, 0, noClass, 0, sam, nullptr, result, nullptr);
    }
    LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
        return RegQueryValueExW(key, name, nullptr, type, data, size);
    }
    LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override {
        return RegSetValueExW(key, name, 0, type, data, size);
    }
    LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD capacity) override {
        return RegEnumKeyW(key, index, name, capacity);
    }
    LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type, BYTE* data,
                   DWORD* size) override {
        return RegEnumValueW(key, index, name, nameLength, nullptr, type, data, size);
    }
    LONG QueryValueCount(HKEY key, DWORD* values) override {
        return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, values, nullptr,
                                nullptr, nullptr, nullptr);
    }
    LONG FlushKey(HKEY key) override { return RegFlushKey(key); }
    LONG CloseKey(HKEY key) override { return RegCloseKey(key); }

    bool IsWow64Process() override {
        // Both exports must exist: GetNativeSystemInfo marks a system that
        // knows about WOW64 at all, IsWow64Process answers the question.
        HMODULE kernel = GetModuleHandleW(L"kernel32");
        if (!kernel) return false;
        auto nativeInfo = reinterpret_cast<decltype(&::GetNativeSystemInfo)>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
        if (!nativeInfo) return false;
        SYSTEM_INFO info{};
        nativeInfo(&info);
        auto isWow64 = reinterpret_cast<decltype(&::IsWow64Process)>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
        if (!isWow64) return false;
        BOOL flag = FALSE;
        return isWow64(GetCurrentProcess(), &flag) && flag;
    }
};

} // namespace

RegistryApi& DefaultRegistry() {
    static WindowsRegistry registry;
    return registry;
}

} // namespace platform
