// Dialog templates read back from a module's resources (DLGTEMPLATEEX), to
// compare a built program's dialogs with their intended layout.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct TemplateItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className; // predefined classes by name: "Button", "Edit", "Static", ...
    std::wstring text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

// The extended dialog template `id` of `module`; nothing when it is missing,
// not an extended template, or cut short.
std::optional<DialogTemplate> ReadDialogTemplate(HMODULE module, WORD id);

} // namespace e2e
