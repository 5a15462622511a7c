// The embedded language table and the translation of texts and windows.
#pragma once

#include "platform/win_types.h"

#include <cstddef>
#include <memory>
#include <string>

// The language table: languages, and blocks of texts keyed by their English
// wording. At most one exists per process, the process-wide instance.
class LanguageTable {
  public:
    // Loads the table from `overridePath` when that file parses, else from the
    // program's raw data resource `resourceId`, makes "en" the current
    // language when the table has it, and makes the new table the
    // process-wide instance; the previous instance is destroyed.
    static LanguageTable& Create(const std::wstring& overridePath, WORD resourceId);
    // The same from the bytes of a resource, for builds and tests that have
    // the table's bytes at hand.
    static LanguageTable& CreateFromResourceBytes(const void* data, std::size_t size);
    // The process-wide instance, or null.
    static LanguageTable* Current();
    // Ends the process-wide instance, leaving none.
    static void DestroyCurrent();

    ~LanguageTable();
    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;

    // The first language / text block whose tag equals `tag` exactly becomes
    // current; false (and no change) when there is none.
    bool SetLanguage(const std::wstring& tag);
    bool SetTextBlock(const std::wstring& tag);
    // The current language's tag, or an empty text.
    std::wstring LanguageTag() const;
    // True when the current block has `key`: `output` then holds its text in
    // the current language (empty when the language has none). Otherwise
    // false with `output` holding `key`.
    bool Lookup(const std::wstring& key, std::wstring& output) const;
    std::wstring Translate(const std::wstring& key) const;
    // Translates the window's caption and the texts of its direct children.
    void TranslateWindow(HWND window) const;

    std::size_t LanguageCount() const;
    std::size_t TextBlockCount() const;

  private:
    struct Document;
    LanguageTable();
    void Load(const std::wstring& path, WORD resourceId);
    void LoadResourceBytes(const void* data, std::size_t size);
    void TakeDocument();
    void ChooseEnglish();
    static LanguageTable& Install(std::unique_ptr<LanguageTable> table);

    std::unique_ptr<Document> document_;
};

// The operations through the process-wide instance. Without one, Translate
// returns the key, the setters return false and the tag is empty.
std::wstring Translate(const std::wstring& key);
bool SetLanguage(const std::wstring& tag);
bool SetTextBlock(const std::wstring& tag);
std::wstring CurrentLanguageTag();
void TranslateWindow(HWND window);
// After TranslateWindow: every text control of `dialog` (push button, check
// box, radio button, static text) whose text, measured with its own font,
// needs more room than its rectangle gives grows into the free space beside
// it, then below it, within its group box or the dialog and never over another
// control. Controls whose texts fit keep their rectangles.
void FitTranslatedTexts(HWND dialog);

// "de", "fr" or "ru" when the product key's "Language" value is exactly
// "3: de", "3: fr" or "3: ru"; "en" for anything else.
std::wstring ReadLanguageTag();
