// The user's language, as the installer records it under the product key.
#include "localization/language_table.h"

#include "platform/registry_access.h"

std::wstring ReadLanguageTag() {
    std::wstring value;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"Language", value, true);
    if (value == L"3: de") return L"de";
    if (value == L"3: fr") return L"fr";
    if (value == L"3: ru") return L"ru";
    return L"en";
}
