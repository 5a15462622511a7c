// Fuzzes the settings tree's registry reader: a product key of fuzzed
// subkeys, value names, types and data is read into a tree. Whatever was
// read must write out and read back to the same registry contents, and no
// key may stay open.
#include "platform/registry_memory.h"
#include "settings/store/registry_access.h"
#include "settings/store/settings_tree.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using platform::MemoryRegistry;

// Names as the registry allows them: no NUL; key names also no backslash,
// not empty and at most 255 characters.
std::wstring ValueName(FuzzedDataProvider& input) {
    static const wchar_t* const kNames[] = {L"A", L"a", L"A/B", L"a/b/c", L"/", L"B/", L"MusicVolumePercentage", L""};
    std::wstring name =
        input.ConsumeBool() ? std::wstring(input.PickValueInArray(kNames)) : fuzz::ConsumeWide(input, 2100);
    name.erase(std::remove(name.begin(), name.end(), L'\0'), name.end());
    return name;
}

std::wstring KeyPath(FuzzedDataProvider& input) {
    static const wchar_t* const kNames[] = {L"A", L"a", L"B", L"Child"};
    std::wstring path;
    const int depth = input.ConsumeIntegralInRange(0, 4);
    for (int level = 0; level < depth; ++level) {
        std::wstring part =
            input.ConsumeBool() ? std::wstring(input.PickValueInArray(kNames)) : fuzz::ConsumeWide(input, 255);
        part.erase(std::remove_if(part.begin(), part.end(), [](wchar_t c) { return c == L'\0' || c == L'\\'; }),
                   part.end());
        if (part.empty()) part = L"K";
        path += L"\\" + part;
    }
    return path;
}

std::vector<BYTE> ValueData(FuzzedDataProvider& input) {
    std::wstring text;
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: { // raw bytes, up to beyond the reader's 4 KiB
        const std::string bytes = input.ConsumeRandomLengthString(5000);
        return std::vector<BYTE>(bytes.begin(), bytes.end());
    }
    case 1:
        text = std::wstring(1, static_cast<wchar_t>(L'1' + input.ConsumeIntegralInRange(0, 2))) + L": ";
        break;
    case 2:
        text = L"3: " + std::wstring(input.ConsumeIntegralInRange<std::size_t>(0, 2100), L'x');
        break;
    default:
        break;
    }
    text += fuzz::ConsumeWide(input, 200);
    if (input.ConsumeBool()) text.push_back(L'\0');
    std::vector<BYTE> bytes(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<BYTE>((text[i] >> 8) & 0xFF);
    }
    return bytes;
}

// Everything below a key, each value as "path|name" -> "type:data".
using Contents = std::map<std::wstring, std::wstring>;

void Dump(MemoryRegistry& registry, HKEY parent, const std::wstring& subKey, const std::wstring& path,
          Contents& contents) {
    platform::RegistryKey key;
    if (registry.OpenKey(parent, subKey.c_str(), KEY_READ, key.Receive()) != ERROR_SUCCESS) return;
    contents[path] = L"(key)";
    static std::vector<wchar_t> name(16384);
    for (DWORD index = 0; registry.EnumKey(key.Get(), index, name.data(), 256) == ERROR_SUCCESS; ++index) {
        const std::wstring child(name.data());
        Dump(registry, key.Get(), child, path + L"\\" + child, contents);
    }
    static std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (registry.EnumValue(key.Get(), index, name.data(), &nameLength, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        std::wstring text = std::to_wstring(type) + L":";
        for (DWORD i = 0; i + 1 < size; i += 2)
            text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
        contents[path + L"|" + std::wstring(name.data(), nameLength)] = text;
    }
}

std::string Describe(const Contents& contents) {
    std::string text;
    for (const auto& [name, value] : contents)
        text += "\n    " + fuzz::Printable(name) + " = " + fuzz::Printable(value);
    return text;
}

void CheckNoOpenKeys(const MemoryRegistry& registry, const char* after) {
    FUZZ_CHECK(registry.OpenHandles() == 0, after, "0 open keys", std::to_string(registry.OpenHandles()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryRegistry registry;
    platform::ScopedRegistry scope(registry);
    registry.AddKey(HKEY_LOCAL_MACHINE, kProductKey);

    const int records = input.ConsumeIntegralInRange(0, 24);
    for (int i = 0; i < records && input.remaining_bytes() > 0; ++i) {
        const std::wstring path = std::wstring(kProductKey) + KeyPath(input);
        if (input.ConsumeIntegralInRange(0, 15) == 0) {
            registry.DenyOpen(HKEY_LOCAL_MACHINE, path);
            continue;
        }
        const std::wstring name = ValueName(input);
        static const DWORD kTypes[] = {REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE};
        const DWORD type = input.ConsumeBool() ? input.PickValueInArray(kTypes) : input.ConsumeIntegral<DWORD>();
        registry.Put(HKEY_LOCAL_MACHINE, path, name, type, ValueData(input));
    }

    Node first;
    first.ReadFromRegistry(HKEY_LOCAL_MACHINE, kProductKey);
    CheckNoOpenKeys(registry, "reading the product key closes every key");

    // What was read is written out, read back and written again: the two
    // written copies must be the same.
    const bool written = first.WriteToRegistry(HKEY_CURRENT_USER, L"Out\\First");
    CheckNoOpenKeys(registry, "writing the tree closes every key");
    if (!written) return 0; // e.g. an entry whose name no key may have
    Node second;
    const bool reread = second.ReadFromRegistry(HKEY_CURRENT_USER, L"Out\\First");
    FUZZ_CHECK(reread, "a written tree reads back", "true", "false");
    FUZZ_CHECK(second.WriteToRegistry(HKEY_CURRENT_USER, L"Out\\Second"), "a tree read back writes again", "true",
               "false");
    CheckNoOpenKeys(registry, "the round trip closes every key");

    Contents once, twice;
    Dump(registry, HKEY_CURRENT_USER, L"Out\\First", L"", once);
    Dump(registry, HKEY_CURRENT_USER, L"Out\\Second", L"", twice);
    FUZZ_CHECK(once == twice, "a tree read back writes the same values", Describe(once), Describe(twice));
    return 0;
}
