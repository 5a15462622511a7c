// Helpers shared by both sides of the registry fixture.
#include "tests/registry/registry_fixture.h"

#include <cstring>

std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated) {
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    if (!bytes.empty()) std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}
