// Reading extended dialog templates from a module's resources.
#include "tests/e2e/driver/dialog_template.h"

#include <cstring>

namespace e2e {
namespace {

class TemplateReader {
  public:
    TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }

    template <typename T> T Take() {
        T value{};
        if (position_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + position_, sizeof(T));
        position_ += sizeof(T);
        return value;
    }

    std::wstring Text() {
        std::wstring text;
        for (WORD c = Take<WORD>(); ok_ && c != 0; c = Take<WORD>())
            text += static_cast<wchar_t>(c);
        return text;
    }

    // A name or an ordinal (0xFFFF then the number); predefined class ordinals by name.
    std::wstring NameOrOrdinal() {
        const WORD first = Take<WORD>();
        if (first == 0) return {};
        if (first != 0xFFFF) {
            position_ -= sizeof(WORD);
            return Text();
        }
        const WORD ordinal = Take<WORD>();
        switch (ordinal) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
        default:
            return L"#" + std::to_wstring(ordinal);
        }
    }

    void Skip(std::size_t bytes) {
        if (position_ + bytes > size_)
            ok_ = false;
        else
            position_ += bytes;
    }
    void AlignToDword() { Skip((4 - position_ % 4) % 4); }

  private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

} // namespace

std::optional<DialogTemplate> ReadDialogTemplate(HMODULE module, WORD id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return std::nullopt;
    TemplateReader reader(data, SizeofResource(module, found));

    DialogTemplate dialog;
    const WORD version = reader.Take<WORD>();
    const WORD signature = reader.Take<WORD>();
    if (version != 1 || signature != 0xFFFF) return std::nullopt;
    reader.Take<DWORD>(); // help id
    dialog.exStyle = reader.Take<DWORD>();
    dialog.style = reader.Take<DWORD>();
    const WORD count = reader.Take<WORD>();
    dialog.x = reader.Take<short>();
    dialog.y = reader.Take<short>();
    dialog.cx = reader.Take<short>();
    dialog.cy = reader.Take<short>();
    reader.NameOrOrdinal(); // menu
    reader.NameOrOrdinal(); // class
    dialog.title = reader.Text();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog.pointSize = reader.Take<WORD>();
        dialog.weight = reader.Take<WORD>();
        dialog.italic = reader.Take<BYTE>();
        reader.Take<BYTE>(); // character set
        dialog.typeface = reader.Text();
    }
    for (WORD i = 0; i < count && reader.Ok(); ++i) {
        reader.AlignToDword();
        TemplateItem item;
        reader.Take<DWORD>(); // help id
        item.exStyle = reader.Take<DWORD>();
        item.style = reader.Take<DWORD>();
        item.x = reader.Take<short>();
        item.y = reader.Take<short>();
        item.cx = reader.Take<short>();
        item.cy = reader.Take<short>();
        item.id = reader.Take<DWORD>();
        item.className = reader.NameOrOrdinal();
        item.text = reader.NameOrOrdinal();
        reader.Skip(reader.Take<WORD>()); // creation data
        dialog.items.push_back(item);
    }
    if (!reader.Ok()) return std::nullopt;
    return dialog;
}

} // namespace e2e
