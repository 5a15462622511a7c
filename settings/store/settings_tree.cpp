// The settings tree and its registry reader and writer.
#include "settings/store/settings_tree.h"

#include "platform/registry.h"
#include "platform/registry_access.h"
#include "settings/store/settings_tree_format.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Registry limits: key names have at most 255 characters; value names longer
// than the buffer and data larger than it are passed over.
constexpr DWORD kKeyNameCapacity = 256;
constexpr DWORD kValueNameCapacity = 2048;
constexpr DWORD kValueDataBytes = 4096;

// The UTF-16 code units of one character: one, or a surrogate pair where a
// wide character holds a code point beyond the first plane.
int Utf16Units(wchar_t c, std::uint16_t units[2]) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code <= 0xFFFF) {
        units[0] = static_cast<std::uint16_t>(code);
        return 1;
    }
    const std::uint32_t offset = code - 0x10000;
    units[0] = static_cast<std::uint16_t>(0xD800 + ((offset >> 10) & 0x3FF));
    units[1] = static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF));
    return 2;
}

void SplitPath(const std::wstring& path, std::wstring& head, std::wstring& rest) {
    const std::size_t slash = path.find(L'/');
    if (slash == std::wstring::npos) {
        head = path;
        rest.clear();
    } else {
        head = path.substr(0, slash);
        rest = path.substr(slash + 1);
    }
}

REGSAM ViewBit(bool use64BitView) { return use64BitView ? KEY_WOW64_64KEY : 0; }

// True when every child tree on the way to the entry `path` names could be
// written as a registry key: no part of a child's name between backslashes is
// longer than a key name may be. Any other entry would make every later save
// of the whole tree fail.
bool ChildNamesFitKeys(const std::wstring& path) {
    const std::size_t lastSlash = path.rfind(L'/');
    if (lastSlash == std::wstring::npos) return true;
    std::size_t run = 0;
    for (std::size_t i = 0; i < lastSlash; ++i) {
        if (path[i] == L'/' || path[i] == L'\\') {
            run = 0;
        } else if (++run > kKeyNameCapacity - 1) {
            return false;
        }
    }
    return true;
}

} // namespace

bool Node::NameOrder::operator()(const std::wstring& a, const std::wstring& b) const {
    std::size_t i = 0, j = 0;
    std::uint16_t x[2], y[2];
    int xi = 0, xn = 0, yi = 0, yn = 0;
    for (;;) {
        if (xi == xn) {
            if (i == a.size()) break;
            xn = Utf16Units(a[i++], x), xi = 0;
        }
        if (yi == yn) {
            if (j == b.size()) return false; // b is a prefix of a, or equal
            yn = Utf16Units(b[j++], y), yi = 0;
        }
        if (x[xi] != y[yi]) return x[xi] < y[yi];
        ++xi, ++yi;
    }
    return yi < yn || j < b.size();
}

Node::Value::Value(std::unique_ptr<Node> child) {
    if (child) {
        kind_ = Kind::Child;
        child_ = std::move(child);
    }
}

Node::Value::Value(const Value& other)
    : kind_(other.kind_), float_(other.float_), int_(other.int_), text_(other.text_),
      child_(other.child_ ? std::make_unique<Node>(*other.child_) : nullptr) {}

Node::Value::Value(Value&& other) noexcept = default;

Node::Value& Node::Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Node::Value& Node::Value::operator=(Value&& other) noexcept = default;

Node::Value::~Value() = default;

std::string Node::Value::AsUtf8Text() const { return kind_ == Kind::Text ? WideToUtf8(text_) : std::string(); }

Node::Node() : use64BitView_(IsRunningUnderWow64()) {}

Node::~Node() = default;

Node::Value& Node::Get(const std::wstring& path) {
    std::wstring head, rest;
    SplitPath(path, head, rest);
    const bool last = rest.empty();
    auto found = entries_.find(head);
    if (found == entries_.end()) {
        if (last) return entries_[head];
        auto& value = entries_[head];
        value = Value(std::make_unique<Node>());
        return value.AsNode()->Get(rest);
    }
    if (last) return found->second;
    Node* child = found->second.AsNode();
    if (!child) throw KeyNotFound();
    return child->Get(rest);
}

Node::Value& Node::Get(const std::string& utf8Path) { return Get(Utf8ToWide(utf8Path)); }

bool Node::Has(const std::wstring& path, Kind kind) const {
    std::wstring head, rest;
    SplitPath(path, head, rest);
    const auto found = entries_.find(head);
    if (found == entries_.end()) return false;
    if (rest.empty()) return found->second.GetKind() == kind;
    const Node* child = found->second.AsNode();
    return child && child->Has(rest, kind);
}

bool Node::ReadFromRegistry(HKEY root, const std::wstring& subKey) {
    auto& registry = platform::Registry();
    platform::RegistryKey key;
    if (registry.OpenKey(root, subKey.c_str(), KEY_READ | ViewBit(use64BitView_), key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD valueCount = 0;
    if (registry.QueryValueCount(key.Get(), &valueCount) != ERROR_SUCCESS) return false;

    std::vector<wchar_t> keyName(kKeyNameCapacity);
    for (DWORD index = 0;; ++index) {
        if (registry.EnumKey(key.Get(), index, keyName.data(), kKeyNameCapacity) != ERROR_SUCCESS) break;
        const std::wstring name(keyName.data());
        // A subkey that cannot be opened is passed over and kept out of the
        // tree: failing the whole read would leave only defaults for the next
        // save to write over every setting, and an entry for it would make
        // every save fail.
        if (Has(name, Kind::Child)) {
            Get(name).AsNode()->ReadFromRegistry(key.Get(), name);
            continue;
        }
        auto child = std::make_unique<Node>();
        if (!child->ReadFromRegistry(key.Get(), name)) continue;
        try {
            // A subkey replaces an entry of another kind of the same name. A
            // name with '/' addresses a deeper entry, as value names do.
            Get(name) = Value(std::move(child));
        } catch (const KeyNotFound&) {
            // the path runs through an entry that is not a child tree
        }
    }

    std::vector<wchar_t> valueName(kValueNameCapacity);
    std::vector<wchar_t> data(kValueDataBytes / sizeof(wchar_t));
    for (DWORD index = 0; index < valueCount; ++index) {
        DWORD nameLength = kValueNameCapacity;
        DWORD type = REG_NONE;
        DWORD bytes = kValueDataBytes;
        if (registry.EnumValue(key.Get(), index, valueName.data(), &nameLength, &type,
                               reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
            continue;
        const std::size_t available = std::min<std::size_t>(data.size(), bytes / sizeof(wchar_t));
        const auto end = data.begin() + static_cast<std::ptrdiff_t>(available);
        const auto length = static_cast<std::size_t>(std::find(data.begin(), end, L'\0') - data.begin());
        const auto entry = SplitRegistryEntry(std::wstring(data.data(), length));
        if (!entry) continue;

        Value value;
        if (entry->kind == 1) {
            const auto number = ParseFloatPayload(entry->payload);
            if (!number) continue;
            value = Value(*number);
        } else if (entry->kind == 2) {
            const auto number = ParseIntPayload(entry->payload);
            if (!number) continue;
            value = Value(*number);
        } else {
            value = Value(entry->payload);
        }
        const std::wstring name(valueName.data(), std::min<std::size_t>(nameLength, kValueNameCapacity - 1));
        if (!ChildNamesFitKeys(name)) continue;
        try {
            Get(name) = std::move(value);
        } catch (const KeyNotFound&) {
            // A name such as "A/B" while "A" holds a number: kept out of the
            // tree rather than ending the whole read.
        }
    }
    return true;
}

bool Node::WriteToRegistry(HKEY root, const std::wstring& subKey) const {
    const platform::RegistryWriteScope writing;
    auto& registry = platform::Registry();
    platform::RegistryKey key;
    if (registry.CreateKey(root, subKey.c_str(), KEY_SET_VALUE | ViewBit(use64BitView_), key.Receive()) !=
        ERROR_SUCCESS)
        return false;
    for (const auto& [name, value] : entries_) {
        std::wstring text;
        switch (value.GetKind()) {
        case Kind::Child:
            if (!value.AsNode()->WriteToRegistry(key.Get(), name)) return false;
            continue;
        case Kind::Float:
            text = FormatFloatEntry(value.AsFloat());
            break;
        case Kind::Int:
            text = FormatIntEntry(value.AsInt());
            break;
        case Kind::Text:
            if (value.AsText().empty()) continue;
            text = FormatTextEntry(value.AsText());
            break;
        case Kind::None:
            continue;
        }
        const auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (registry.SetValue(key.Get(), name.c_str(), REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) !=
            ERROR_SUCCESS)
            return false;
    }
    registry.FlushKey(key.Get());
    return true;
}
