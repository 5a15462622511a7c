// Fuzzes the settings tree's registry reader: a product key of fuzzed
// subkeys, value names, types and data is read into a tree. Whatever was
// read must write out, and read back and write again to nothing new or
// changed; no key may stay open.
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "settings/store/settings_tree.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using platform::MemoryRegistry;

// Names as the registry allows them: no NUL; key names also no backslash,
// not empty and at most 255 characters.
std::wstring ValueName(FuzzedDataProvider& input) {
    // Shapes worth trying: paths, case twins, empty parts, and parts too long
    // for a key name.
    static const std::wstring kNames[] = {L"A",
                                          L"a",
                                          L"A/B",
                                          L"a/b/c",
                                          L"/",
                                          L"B/",
                                          L"MusicVolumePercentage",
                                          L"",
                                          std::wstring(255, L'N') + L"/V",
                                          std::wstring(256, L'N') + L"/V",
                                          L"K\\" + std::wstring(256, L'N') + L"/V"};
    std::wstring name = input.ConsumeBool() ? input.PickValueInArray(kNames) : fuzz::ConsumeWide(input, 2100);
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
    // Used-up input reads as zeros: the first choice is a valid text entry.
    std::wstring text;
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        text = L"3: " + std::wstring(input.ConsumeIntegralInRange<std::size_t>(1, 2100), L'x');
        break;
    case 1:
        text = std::wstring(1, static_cast<wchar_t>(L'1' + input.ConsumeIntegralInRange(0, 2))) + L": ";
        break;
    case 2: { // raw bytes, up to beyond the reader's 4 KiB
        const std::string bytes = input.ConsumeRandomLengthString(5000);
        return std::vector<BYTE>(bytes.begin(), bytes.end());
    }
    default:
        break;
    }
    text += fuzz::ConsumeWide(input, 200);
    if (input.ConsumeBool()) text.push_back(L'\0');
    // Text values hold the program's own wide characters, as on Windows.
    std::vector<BYTE> bytes(text.size() * sizeof(wchar_t));
    if (!bytes.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

constexpr DWORD kReadableBytes = 4096;

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
        // The reader passes over data beyond its buffer by design; a text
        // that filled it exactly is written back with its terminator.
        if (size > kReadableBytes) continue;
        std::wstring text = std::to_wstring(type) + L":";
        for (DWORD i = 0; i + sizeof(wchar_t) <= size; i += sizeof(wchar_t)) {
            wchar_t c;
            std::memcpy(&c, &data[i], sizeof c);
            text.push_back(c);
        }
        contents[path + L"|" + std::wstring(name.data(), nameLength)] = text;
    }
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
        const std::wstring below = KeyPath(input);
        const std::wstring path = std::wstring(kProductKey) + below;
        // Used-up input reads as zeros, so the rare choice is the high one; a
        // product key that cannot be opened at all would end every read at once.
        if (!below.empty() && input.ConsumeIntegralInRange(0, 15) == 15) {
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
    // The target key is new and writable: whatever the reader let into the
    // tree must be writable, or junk in the product key would stop every
    // later save of the settings.
    FUZZ_CHECK(written, "a tree read from the registry writes back", "true", "false");
    Node second;
    const bool reread = second.ReadFromRegistry(HKEY_CURRENT_USER, L"Out\\First");
    FUZZ_CHECK(reread, "a written tree reads back", "true", "false");
    FUZZ_CHECK(second.WriteToRegistry(HKEY_CURRENT_USER, L"Out\\Second"), "a tree read back writes again", "true",
               "false");
    CheckNoOpenKeys(registry, "the round trip closes every key");

    Contents once, twice;
    Dump(registry, HKEY_CURRENT_USER, L"Out\\First", L"", once);
    Dump(registry, HKEY_CURRENT_USER, L"Out\\Second", L"", twice);
    // The second copy may lack what the tree cannot hold (a subkey and a
    // value of the same name: the value wins, and writing deletes nothing),
    // but everything in it must be in the first copy, unchanged.
    for (const auto& [name, value] : twice) {
        const auto found = once.find(name);
        FUZZ_CHECK(found != once.end() && found->second == value, "a tree read back writes the same values",
                   fuzz::Printable(name) + " = " + (found == once.end() ? "(none)" : fuzz::Printable(found->second)),
                   fuzz::Printable(value));
    }
    // A flat setting, the kind the program stores, always survives.
    const auto setting = once.find(L"|MusicVolumePercentage");
    if (setting != once.end())
        FUZZ_CHECK(twice.count(setting->first) == 1, "a flat setting survives the round trip",
                   fuzz::Printable(setting->second), "(none)");
    return 0;
}
