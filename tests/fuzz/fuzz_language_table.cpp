// Fuzzes the language table loader with arbitrary bytes as the embedded
// resource, then chooses languages and blocks and looks texts up, formatting
// the translations of the program's format strings with their arguments.
#include "localization/language_table.h"
#include "localization/translated_format.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {

const wchar_t* const kLanguages[] = {L"en", L"ru", L"de", L"fr", L"", L"xx"};
const wchar_t* const kBlocks[] = {L"Screensaver Settings Dialog", L"Screensaver", L"", L"Missing"};
const wchar_t* const kKeys[] = {
    L"OK", L"Cancel", L"Playlist", L"Music volume: %.01i%%", L"Sounds volume: %.01i%%", L"%s %s Configuration",
    L"",   L"Missing"};

void CheckLookups(const LanguageTable& table) {
    for (const wchar_t* key : kKeys) {
        std::wstring output = L"unchanged";
        const bool found = table.Lookup(key, output);
        if (!found)
            FUZZ_CHECK(output == key, "a missing text is its key", fuzz::Printable(std::wstring(key)),
                       fuzz::Printable(output));
        FUZZ_CHECK(table.Translate(key) == output, "Translate gives what Lookup gives", fuzz::Printable(output),
                   fuzz::Printable(table.Translate(key)));
        FormatTranslation(key, output, {75});
        FormatTranslation(key, output, {L"Sorvane", L"3D"});
    }
    FormatTranslated(L"Music volume: %.01i%%", 100);
    FormatTranslated(L"%s %s Configuration", L"Sorvane 3D", L"Screensaver");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LanguageTable& table = LanguageTable::CreateFromResourceBytes(data, size);
    FUZZ_CHECK(LanguageTable::Current() == &table, "the new table is the current one", "the new table", "another");
    CheckLookups(table);
    for (const wchar_t* language : kLanguages) {
        const std::wstring before = table.LanguageTag();
        if (table.SetLanguage(language))
            FUZZ_CHECK(table.LanguageTag() == language, "a chosen language is current",
                       fuzz::Printable(std::wstring(language)), fuzz::Printable(table.LanguageTag()));
        else
            FUZZ_CHECK(table.LanguageTag() == before, "a refused language changes nothing", fuzz::Printable(before),
                       fuzz::Printable(table.LanguageTag()));
        CheckLookups(table);
    }
    for (const wchar_t* block : kBlocks) {
        table.SetTextBlock(block);
        table.SetLanguage(L"ru");
        CheckLookups(table);
    }
    LanguageTable::DestroyCurrent();
    FUZZ_CHECK(Translate(L"OK") == L"OK", "without a table a text is its key", "OK", fuzz::Printable(Translate(L"OK")));
    return 0;
}
