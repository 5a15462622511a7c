// In-memory registry for the native build and the tests.
#include "platform/registry_memory.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace platform {

struct MemoryRegistry::Key {
    struct Value {
        std::wstring name;
        RawValue raw;
    };
    std::wstring name;
    std::vector<std::unique_ptr<Key>> subkeys; // sorted case-insensitively, as Windows enumerates them
    std::vector<Value> values;                 // in the order they were created
    bool denyWrites = false;
    bool denyOpen = false;
};

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

wchar_t Fold(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) == 0; }

std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

MemoryRegistry::Key* FindChild(const MemoryRegistry::Key& key, const std::wstring& name) {
    for (const auto& child : key.subkeys)
        if (EqualNoCase(child->name, name)) return child.get();
    return nullptr;
}

MemoryRegistry::Key* AddChild(MemoryRegistry::Key& key, const std::wstring& name) {
    auto child = std::make_unique<MemoryRegistry::Key>();
    child->name = name;
    auto at = std::find_if(key.subkeys.begin(), key.subkeys.end(),
                           [&](const auto& existing) { return CompareNoCase(existing->name, name) > 0; });
    return key.subkeys.insert(at, std::move(child))->get();
}

MemoryRegistry::Key::Value* FindValue(MemoryRegistry::Key& key, const wchar_t* name) {
    const std::wstring wanted = name ? name : L"";
    for (auto& value : key.values)
        if (EqualNoCase(value.name, wanted)) return &value;
    return nullptr;
}

std::uintptr_t HandleNumber(HKEY key) { return reinterpret_cast<std::uintptr_t>(key); }

bool IsPredefined(HKEY key) { return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER; }

} // namespace

MemoryRegistry::MemoryRegistry() : machine_(std::make_unique<Key>()), user_(std::make_unique<Key>()) {
    machine_->name = L"HKLM";
    user_->name = L"HKCU";
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Key* MemoryRegistry::Resolve(HKEY root, const std::wstring& path, bool create) const {
    Key* key = root == HKEY_LOCAL_MACHINE ? machine_.get() : root == HKEY_CURRENT_USER ? user_.get() : nullptr;
    for (const auto& part : SplitPath(path)) {
        if (!key) return nullptr;
        Key* child = FindChild(*key, part);
        key = child ? child : (create ? AddChild(*key, part) : nullptr);
    }
    return key;
}

void MemoryRegistry::Put(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                         std::vector<BYTE> data) {
    Key* key = Resolve(root, path, true);
    if (auto* value = FindValue(*key, name.c_str())) {
        value->raw = RawValue{type, std::move(data)};
        return;
    }
    key->values.push_back({name, RawValue{type, std::move(data)}});
}

void MemoryRegistry::PutText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
                             DWORD type, bool terminated) {
    const std::size_t bytes = (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t);
    std::vector<BYTE> data(bytes);
    if (bytes) std::memcpy(data.data(), text.c_str(), bytes);
    Put(root, path, name, type, std::move(data));
}

void MemoryRegistry::AddKey(HKEY root, const std::wstring& path) { Resolve(root, path, true); }

std::optional<MemoryRegistry::RawValue> MemoryRegistry::Get(HKEY root, const std::wstring& path,
                                                           const std::wstring& name) const {
    Key* key = Resolve(root, path, false);
    if (!key) return std::nullopt;
    auto* value = FindValue(*key, name.c_str());
    if (!value) return std::nullopt;
    return value->raw;
}

std::optional<std::wstring> MemoryRegistry::GetChars(HKEY root, const std::wstring& path,
                                                     const std::wstring& name) const {
    auto raw = Get(root, path, name);
    if (!raw) return std::nullopt;
    std::wstring text(raw->data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), raw->data.data(), text.size() * sizeof(wchar_t));
    return text;
}

bool MemoryRegistry::HasKey(HKEY root, const std::wstring& path) const { return Resolve(root, path, false) != nullptr; }

std::size_t MemoryRegistry::ValueCount(HKEY root, const std::wstring& path) const {
    Key* key = Resolve(root, path, false);
    return key ? key->values.size() : 0;
}

void MemoryRegistry::DenyWrites(HKEY root, const std::wstring& path) { Resolve(root, path, true)->denyWrites = true; }
void MemoryRegistry::DenyOpen(HKEY root, const std::wstring& path) { Resolve(root, path, true)->denyOpen = true; }

LONG MemoryRegistry::OpenKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) {
    return Open(root, subKey, sam, result, false);
}

LONG MemoryRegistry::CreateKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) {
    return Open(root, subKey, sam, result, true);
}

LONG MemoryRegistry::Open(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result, bool create) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Key* key = nullptr;
    std::vector<std::wstring> parts = SplitPath(subKey ? subKey : L"");
    if (IsPredefined(root)) {
        key = root == HKEY_LOCAL_MACHINE ? machine_.get() : user_.get();
        const bool redirect = root == HKEY_LOCAL_MACHINE &&
                              ((sam & KEY_WOW64_32KEY) || (wow64_ && !(sam & KEY_WOW64_64KEY)));
        if (redirect && !parts.empty() && EqualNoCase(parts[0], L"Software") &&
            (parts.size() < 2 || !EqualNoCase(parts[1], L"WOW6432Node")))
            parts.insert(parts.begin() + 1, L"WOW6432Node");
    } else {
        auto it = handles_.find(HandleNumber(root));
        if (it == handles_.end()) return ERROR_INVALID_HANDLE;
        key = it->second.key;
    }

    std::wstring path = key->name;
    for (const auto& part : parts) {
        if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
        if (key->denyOpen) return ERROR_ACCESS_DENIED;
        Key* child = FindChild(*key, part);
        if (!child) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (key->denyWrites) return ERROR_ACCESS_DENIED;
            child = AddChild(*key, part);
        }
        key = child;
        path += L"\\" + key->name;
    }
    accesses_.push_back({create, path, sam});
    if (key->denyOpen) return ERROR_ACCESS_DENIED;
    if (key->denyWrites && (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))) return ERROR_ACCESS_DENIED;

    const std::uintptr_t number = nextHandle_;
    nextHandle_ += 4;
    handles_[number] = Handle{key, sam};
    *result = reinterpret_cast<HKEY>(number);
    return ERROR_SUCCESS;
}

MemoryRegistry::Key* MemoryRegistry::KeyOf(HKEY handle, REGSAM need, LONG* error) {
    auto it = handles_.find(HandleNumber(handle));
    if (it == handles_.end()) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if ((it->second.sam & need) != need) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    *error = ERROR_SUCCESS;
    return it->second.key;
}

LONG MemoryRegistry::QueryValue(HKEY handle, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) {
    LONG error;
    Key* key = KeyOf(handle, KEY_QUERY_VALUE, &error);
    if (!key) return error;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    auto* value = FindValue(*key, name);
    if (!value) return ERROR_FILE_NOT_FOUND;
    const auto length = static_cast<DWORD>(value->raw.data.size());
    if (type) *type = value->raw.type;
    if (data && *size < length) {
        *size = length;
        return ERROR_MORE_DATA;
    }
    if (data && length) std::memcpy(data, value->raw.data.data(), length);
    if (size) *size = length;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::SetValue(HKEY handle, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
    LONG error;
    Key* key = KeyOf(handle, KEY_SET_VALUE, &error);
    if (!key) return error;
    if (size && !data) return ERROR_INVALID_PARAMETER;
    // Like Windows, count a terminator that the caller left out of the size
    // of a string when the buffer has one right after the last character.
    if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && size >= sizeof(wchar_t)) {
        const auto* text = reinterpret_cast<const wchar_t*>(data);
        const std::size_t count = size / sizeof(wchar_t);
        if (text[count - 1] != L'\0' && text[count] == L'\0') size += sizeof(wchar_t);
    }
    std::vector<BYTE> bytes(data, data + size);
    if (auto* value = FindValue(*key, name)) {
        value->raw = RawValue{type, std::move(bytes)};
        return ERROR_SUCCESS;
    }
    key->values.push_back({name ? name : L"", RawValue{type, std::move(bytes)}});
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumKey(HKEY handle, DWORD index, wchar_t* name, DWORD capacity) {
    LONG error;
    Key* key = KeyOf(handle, KEY_ENUMERATE_SUB_KEYS, &error);
    if (!key) return error;
    if (index >= key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::wstring& found = key->subkeys[index]->name;
    if (!name || capacity < found.size() + 1) return ERROR_MORE_DATA;
    std::copy(found.begin(), found.end(), name);
    name[found.size()] = L'\0';
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::EnumValue(HKEY handle, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type, BYTE* data,
                               DWORD* size) {
    LONG error;
    Key* key = KeyOf(handle, KEY_QUERY_VALUE, &error);
    if (!key) return error;
    if (!name || !nameLength) return ERROR_INVALID_PARAMETER;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const auto& value = key->values[index];
    if (*nameLength < value.name.size() + 1) return ERROR_MORE_DATA;
    const auto length = static_cast<DWORD>(value.raw.data.size());
    if (data && *size < length) {
        *size = length;
        return ERROR_MORE_DATA;
    }
    std::copy(value.name.begin(), value.name.end(), name);
    name[value.name.size()] = L'\0';
    *nameLength = static_cast<DWORD>(value.name.size());
    if (type) *type = value.raw.type;
    if (data && length) std::memcpy(data, value.raw.data.data(), length);
    if (size) *size = length;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::QueryValueCount(HKEY handle, DWORD* values) {
    LONG error;
    Key* key = KeyOf(handle, KEY_QUERY_VALUE, &error);
    if (!key) return error;
    if (values) *values = static_cast<DWORD>(key->values.size());
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::FlushKey(HKEY handle) {
    if (IsPredefined(handle)) return ERROR_SUCCESS;
    if (handles_.find(HandleNumber(handle)) == handles_.end()) return ERROR_INVALID_HANDLE;
    ++flushes_;
    return ERROR_SUCCESS;
}

LONG MemoryRegistry::CloseKey(HKEY handle) {
    if (IsPredefined(handle)) return ERROR_SUCCESS;
    return handles_.erase(HandleNumber(handle)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

#ifndef _WIN32
RegistryApi& DefaultRegistry() {
    static MemoryRegistry registry;
    return registry;
}
#endif

} // namespace platform
