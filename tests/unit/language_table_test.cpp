// The language table natively: the shipped table's format and every required
// text in every language, lookups and their fallbacks, the choice of language
// and block, and the loading rules, over the table file's bytes.
#include "localization/language_table.h"
#include "localization/translated_format.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string TableFilePath() {
    std::string here = __FILE__; // .../tests/unit/language_table_test.cpp
    for (int i = 0; i < 3; ++i)
        here = here.substr(0, here.find_last_of('/'));
    return here + "/localization/language_table.xml";
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

struct Required {
    const wchar_t* en;
    const wchar_t* ru;
    const wchar_t* de;
    const wchar_t* fr;
};

// Every text the program asks the table for.
const Required kRequired[] = {
    {L"OK", L"OK", L"OK", L"OK"},
    {L"Cancel", L"\u041e\u0442\u043c\u0435\u043d\u0430", L"Abbrechen", L"Annuler"},
    {L"Playlist", L"\u041f\u043b\u0435\u0439\u043b\u0438\u0441\u0442", L"Playliste", L"Liste"},
    {L"Add...", L"\u0414\u043e\u0431\u0430\u0432\u0438\u0442\u044c...", L"Hinzuf\u00fcgen...", L"Ajouter..."},
    {L"Remove", L"\u0423\u0434\u0430\u043b\u0438\u0442\u044c", L"Entfernen", L"Retirer"},
    {L"Shuffle", L"\u041f\u0435\u0440\u0435\u043c\u0435\u0448\u0438\u0432\u0430\u043d\u0438\u0435",
     L"Zuf\u00e4llige Wiedergabe", L"Ordre al\u00e9atoire"},
    {L"All supported files",
     L"\u0412\u0441\u0435 \u043f\u043e\u0434\u0434\u0435\u0440\u0436\u0438\u0432\u0430\u0435\u043c\u044b\u0435 "
     L"\u0444\u043e\u0440\u043c\u0430\u0442\u044b",
     L"Alle unterst\u00fctzten Dateien", L"Tout les fichiers support\u00e9s"},
    {L"Playlist Files", L"\u0424\u0430\u0439\u043b\u044b \u043f\u043b\u0435\u0439\u043b\u0438\u0441\u0442\u043e\u0432",
     L"Playliste-Dateien", L"Fichiers de la liste"},
    {L"Please take a look at our web site for more great 3D screensavers",
     L"\u041f\u043e\u0441\u043c\u043e\u0442\u0440\u0435\u0442\u044c \u0434\u0440\u0443\u0433\u0438\u0435 "
     L"\u0441\u043a\u0440\u0438\u043d\u0441\u0435\u0439\u0432\u0435\u0440\u044b \u043d\u0430\u0448\u0435\u0439 "
     L"\u043a\u043e\u043c\u043f\u0430\u043d\u0438\u0438",
     L"Entdecken Sie noch mehr 3D-Screensavers auf unserer Webseite",
     L"Veuillez visiter notre site web pour voir plus d\u2019\u00e9conomiseurs d\u2019\u00e9cran 3D"},
    {L"Products", L"\u041f\u0440\u043e\u0434\u0443\u043a\u0442\u044b", L"Produkte", L"Produits"},
    {L"Options", L"\u041e\u043f\u0446\u0438\u0438", L"Optionen", L"Options"},
    {L"Exit on mouse move",
     L"\u0412\u044b\u0445\u043e\u0434 \u043f\u043e \u0434\u0432\u0438\u0436\u0435\u043d\u0438\u044e "
     L"\u043c\u044b\u0448\u0438",
     L"Mit Mausbewegung beenden", L"Sortir sur mouvement de souris"},
    {L"Visit...", L"\u041f\u043e\u0441\u043c\u043e\u0442\u0440\u0435\u0442\u044c...", L"Besuchen...", L"Visitez..."},
    {L"Show a blank screen on all monitors",
     L"\u0417\u0430\u0442\u0435\u043c\u043d\u0438\u0442\u044c \u043e\u0441\u0442\u0430\u043b\u044c\u043d\u044b\u0435 "
     L"\u043c\u043e\u043d\u0438\u0442\u043e\u0440\u044b",
     L"Leeren Bildschirm auf allen Monitoren zeigen", L"Afficher un \u00e9cran blanc sur tous les moniteurs"},
    {L"Monitor selection", L"\u0412\u044b\u0431\u043e\u0440 \u043c\u043e\u043d\u0438\u0442\u043e\u0440\u0430",
     L"Monitor-Auswahl", L"S\u00e9lection du moniteur"},
    {L"Sounds volume: %.01i%%",
     L"\u0423\u0440\u043e\u0432\u0435\u043d\u044c \u0437\u0432\u0443\u043a\u043e\u0432: %.01i%%",
     L"Lautst\u00e4rke: %.01i%%", L"Volume du son: %.01i%%"},
    {L"Enable sounds", L"\u0412\u043a\u043b\u044e\u0447\u0438\u0442\u044c \u0437\u0432\u0443\u043a\u0438",
     L"Sounds aktivieren", L"Valider les sons"},
    {L"Sound options",
     L"\u0417\u0432\u0443\u043a\u043e\u0432\u044b\u0435 "
     L"\u0432\u043e\u0437\u043c\u043e\u0436\u043d\u043e\u0441\u0442\u0438",
     L"Soundoptionen", L"Options du son"},
    {L"Music volume: %.01i%%",
     L"\u0423\u0440\u043e\u0432\u0435\u043d\u044c \u043c\u0443\u0437\u044b\u043a\u0438: %.01i%%",
     L"Musik-Lautst\u00e4rke: %.01i%%", L"Volume de la musique: %.01i%%"},
    {L"Enable music", L"\u0412\u043a\u043b\u044e\u0447\u0438\u0442\u044c \u043c\u0443\u0437\u044b\u043a\u0443",
     L"Musik aktivieren", L"Valider la musique"},
    {L"Edit Playlist...", L"\u0420\u0435\u0434\u0430\u043a\u0442\u0438\u0440\u043e\u0432\u0430\u0442\u044c...",
     L"Playliste bearbeiten...", L"Editer la liste..."},
    {L"Play my music",
     L"\u041f\u0440\u043e\u0438\u0433\u0440\u044b\u0432\u0430\u0442\u044c \u0441\u0432\u043e\u044e "
     L"\u043c\u0443\u0437\u044b\u043a\u0443",
     L"Meine Musik spielen", L"Jouer ma musique"},
    {L"Error!", L"\u041e\u0448\u0438\u0431\u043a\u0430!", L"Fehler!", L"Erreur!"},
    {L"Error writing to the system registry. Please NOTE: You need to have sufficient administrative rights to run "
     L"this program successfully.",
     L"\u041e\u0448\u0438\u0431\u043a\u0430 \u0437\u0430\u043f\u0438\u0441\u0438 \u0432 "
     L"\u0441\u0438\u0441\u0442\u0435\u043c\u043d\u044b\u0439 \u0440\u0435\u0435\u0441\u0442\u0440. "
     L"\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430 \u043e\u0431\u0440\u0430\u0442\u0438\u0442\u0435 "
     L"\u0432\u043d\u0438\u043c\u0430\u043d\u0438\u0435: \u0432\u044b \u0434\u043e\u043b\u0436\u043d\u044b "
     L"\u0438\u043c\u0435\u0442\u044c "
     L"\u0441\u043e\u043e\u0442\u0432\u0435\u0442\u0441\u0442\u0432\u0443\u044e\u0449\u0438\u0435 "
     L"\u0430\u0434\u043c\u0438\u043d\u0438\u0441\u0442\u0440\u0430\u0442\u0438\u0432\u043d\u044b\u0435 "
     L"\u043f\u0440\u0430\u0432\u0430 \u0434\u043b\u044f \u0443\u0441\u043f\u0435\u0448\u043d\u043e\u0433\u043e "
     L"\u0437\u0430\u043f\u0443\u0441\u043a\u0430 \u044d\u0442\u043e\u0439 "
     L"\u043f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b.",
     L"Fehler beim Eintrag in die Registry. BEACHTEN Sie bitte: um das Programm erfolgreich auszuf\u00fchren, "
     L"m\u00fcssen Sie die Administratorrechte besitzen.",
     L"Erreur d\u2019\u00e9criture dans le registre syst\u00e8me. Veuillez NOTER: vous devez disposez de droits "
     L"d\u2019administration suffisant pour faire fonctionner ce programme."},
    {L"Run at Windows startup",
     L"\u0417\u0430\u043f\u0443\u0441\u043a\u0430\u0442\u044c \u043f\u0440\u0438 \u0441\u0442\u0430\u0440\u0442\u0435 "
     L"Windows",
     L"Wallpaper beim Windows-Start ausf\u00fchren", L"Ex\u00e9cuter au d\u00e9marrage de Windows"},
    {L"Animated wallpaper options",
     L"\u041e\u043f\u0446\u0438\u0438 \u0430\u043d\u0438\u043c\u0438\u0440\u043e\u0432\u0430\u043d\u043d\u044b\u0445 "
     L"\u043e\u0431\u043e\u0435\u0432",
     L"Animierte wallpaper-Optionen", L"Options wallpaper Anim\u00e9s"},
    {L"%s %s Configuration", L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 %s %s", L"%s %s Konfiguration",
     L"Configuration de %s %s"},
    {L"Antialiasing", L"\u0421\u0433\u043b\u0430\u0436\u0438\u0432\u0430\u043d\u0438\u0435", L"Antialiasing",
     L"Anticr\u00e9nelage"},
    {L"Antialiasing quality:",
     L"\u041a\u0430\u0447\u0435\u0441\u0442\u0432\u043e "
     L"\u0441\u0433\u043b\u0430\u0436\u0438\u0432\u0430\u043d\u0438\u044f:",
     L"Antialiasing-Qualit\u00e4t:", L"Qualit\u00e9 de l'anticr\u00e9nelag :"},
    {L"Restore Defaults", L"\u0421\u0431\u0440\u043e\u0441 \u043d\u0430\u0441\u0442\u0440\u043e\u0435\u043a",
     L"Zur\u00fccksetzen", L"R\u00e9initialiser"},
};

class LanguageTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        LanguageTable::DestroyCurrent();
        table_ = ReadBytes(TableFilePath());
        ASSERT_GT(table_.size(), 1000u) << "cannot read " << TableFilePath();
    }
    void TearDown() override { LanguageTable::DestroyCurrent(); }

    LanguageTable& LoadShipped() {
        LanguageTable& table = LanguageTable::CreateFromResourceBytes(table_.data(), table_.size());
        table.SetTextBlock(L"Screensaver Settings Dialog");
        return table;
    }
    static LanguageTable& LoadText(const std::string& xml) {
        return LanguageTable::CreateFromResourceBytes(xml.data(), xml.size());
    }

    std::string table_;
};

TEST_F(LanguageTableTest, ShippedFileIsUtf8WithBomAndCrLfLineEndsThroughTheLast) {
    EXPECT_EQ(table_.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(table_.substr(3, 38), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    EXPECT_EQ(table_.substr(table_.size() - 9), "</Root>\r\n");
    std::size_t line = 1;
    for (std::size_t i = 0; i < table_.size(); ++i) {
        if (table_[i] == '\n') {
            ASSERT_TRUE(i > 0 && table_[i - 1] == '\r') << "line " << line << " ends without CR";
            ++line;
        } else if (table_[i] == '\r') {
            ASSERT_TRUE(i + 1 < table_.size() && table_[i + 1] == '\n') << "a lone CR on line " << line;
        }
    }
}

TEST_F(LanguageTableTest, ShippedFileHasItsLanguagesBlocksAndShapeOfEntries) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_buffer(table_.data(), table_.size()));
    const auto root = document.child(L"Root");
    ASSERT_TRUE(root);
    const struct {
        const wchar_t* tag;
        const wchar_t* codepage;
        const wchar_t* name;
    } languages[] = {{L"ru", L"1251", L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439"},
                     {L"en", L"1252", L"English"},
                     {L"de", L"1252", L"Deutsch"},
                     {L"fr", L"1252",
                      L"Fran\u00e7"
                      L"ais"}};
    auto language = root.child(L"Languages").child(L"Language");
    for (const auto& expected : languages) {
        ASSERT_TRUE(language) << "missing " << testing::PrintToString(std::wstring(expected.tag));
        EXPECT_STREQ(language.attribute(L"Tag").value(), expected.tag);
        EXPECT_STREQ(language.attribute(L"Codepage").value(), expected.codepage);
        EXPECT_STREQ(language.attribute(L"Name").value(), expected.name);
        language = language.next_sibling(L"Language");
    }
    EXPECT_FALSE(language) << "more than four languages";

    const auto settings = root.find_child_by_attribute(L"TextBlock", L"Tag", L"Screensaver Settings Dialog");
    ASSERT_TRUE(settings);
    EXPECT_TRUE(root.find_child_by_attribute(L"TextBlock", L"Tag", L"Screensaver"));
    const auto last = settings.last_child();
    EXPECT_STREQ(last.name(), L"Var");
    EXPECT_STREQ(last.attribute(L"Tag").value(), L"");
    EXPECT_TRUE(last.attribute(L"Tag")) << "the last entry carries an empty Tag";

    for (auto block = root.child(L"TextBlock"); block; block = block.next_sibling(L"TextBlock")) {
        for (auto var = block.child(L"Var"); var; var = var.next_sibling(L"Var")) {
            const std::wstring key = var.attribute(L"Tag").value();
            const wchar_t* order[] = {L"ru", L"en", L"de", L"fr"};
            auto text = var.child(L"String");
            for (const wchar_t* lang : order) {
                ASSERT_TRUE(text) << "entry " << testing::PrintToString(key) << " lacks a String";
                EXPECT_STREQ(text.attribute(L"Lang").value(), lang) << testing::PrintToString(key);
                EXPECT_TRUE(text.attribute(L"Text")) << testing::PrintToString(key);
                // The program formats translations with the English key's arguments.
                EXPECT_EQ(FormatConversions(text.attribute(L"Text").value()), FormatConversions(key))
                    << testing::PrintToString(key) << " in " << testing::PrintToString(std::wstring(lang));
                text = text.next_sibling(L"String");
            }
            EXPECT_FALSE(text) << "entry " << testing::PrintToString(key) << " has more than four texts";
            EXPECT_EQ(key, var.find_child_by_attribute(L"String", L"Lang", L"en").attribute(L"Text").value());
        }
    }
}

TEST_F(LanguageTableTest, EveryRequiredTextInEveryLanguage) {
    LanguageTable& table = LoadShipped();
    const struct {
        const wchar_t* tag;
        const wchar_t* Required::*text;
    } languages[] = {{L"en", &Required::en}, {L"ru", &Required::ru}, {L"de", &Required::de}, {L"fr", &Required::fr}};
    for (const auto& language : languages) {
        ASSERT_TRUE(table.SetLanguage(language.tag));
        for (const auto& entry : kRequired) {
            std::wstring text;
            EXPECT_TRUE(table.Lookup(entry.en, text)) << testing::PrintToString(std::wstring(entry.en));
            EXPECT_EQ(text, entry.*language.text) << testing::PrintToString(std::wstring(entry.en)) << " in "
                                                  << testing::PrintToString(std::wstring(language.tag));
        }
        std::wstring empty = L"x";
        EXPECT_TRUE(table.Lookup(L"", empty)) << "the empty entry";
        EXPECT_EQ(empty, L"");
    }
}

TEST_F(LanguageTableTest, OverrideFileIsLoadedLikeTheResource) {
    LanguageTable& table = LanguageTable::Create(Widen(TableFilePath()), 11);
    EXPECT_EQ(table.LanguageCount(), 4u);
    ASSERT_TRUE(table.SetTextBlock(L"Screensaver Settings Dialog"));
    ASSERT_TRUE(table.SetLanguage(L"de"));
    EXPECT_EQ(Translate(L"Cancel"), L"Abbrechen");
}

TEST_F(LanguageTableTest, WithoutTableTextsStayEnglish) {
    EXPECT_EQ(LanguageTable::Current(), nullptr);
    EXPECT_EQ(Translate(L"Error!"), L"Error!");
    EXPECT_FALSE(SetLanguage(L"de"));
    EXPECT_FALSE(SetTextBlock(L"Screensaver Settings Dialog"));
    EXPECT_EQ(CurrentLanguageTag(), L"");
    EXPECT_EQ(FormatTranslated(L"Music volume: %.01i%%", 40), L"Music volume: 40%");
}

TEST_F(LanguageTableTest, UnknownAndWrongCaseKeysAreReturnedUnchangedInEveryLanguage) {
    LanguageTable& table = LoadShipped();
    for (const wchar_t* tag : {L"ru", L"en", L"de", L"fr"}) {
        ASSERT_TRUE(table.SetLanguage(tag));
        for (const wchar_t* key : {L"Multi-monitor", L"cancel", L"CANCEL", L"Cancel ", L" OK"}) {
            std::wstring text;
            EXPECT_FALSE(table.Lookup(key, text)) << testing::PrintToString(std::wstring(key));
            EXPECT_EQ(text, key);
            EXPECT_EQ(Translate(key), key);
        }
    }
}

TEST_F(LanguageTableTest, NewTableStartsInEnglishAndLanguageChoiceIsExact) {
    LanguageTable& table = LoadShipped();
    EXPECT_EQ(table.LanguageTag(), L"en") << "English is chosen although Russian comes first";
    EXPECT_EQ(Translate(L"Cancel"), L"Cancel");
    for (const wchar_t* wrong : {L"DE", L"de ", L"d", L"", L"deu"}) {
        EXPECT_FALSE(SetLanguage(wrong)) << testing::PrintToString(std::wstring(wrong));
        EXPECT_EQ(CurrentLanguageTag(), L"en");
    }
    EXPECT_TRUE(SetLanguage(L"ru"));
    EXPECT_EQ(CurrentLanguageTag(), L"ru");
    EXPECT_EQ(Translate(L"%s %s Configuration"), L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 %s %s");
    EXPECT_EQ(FormatTranslated(L"%s %s Configuration", L"Sorvane 3D Screensaver", L"1.0"),
              L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 Sorvane 3D Screensaver 1.0");
    EXPECT_FALSE(SetTextBlock(L"screensaver"));
    EXPECT_TRUE(SetTextBlock(L"Screensaver"));
    EXPECT_EQ(Translate(L"Cancel"), L"Cancel") << "the other block lacks the key";
    EXPECT_EQ(Translate(L"Music"), L"\u041c\u0443\u0437\u044b\u043a\u0430");
}

TEST_F(LanguageTableTest, FirstBlockIsCurrentAfterLoading) {
    LanguageTable::CreateFromResourceBytes(table_.data(), table_.size());
    ASSERT_TRUE(SetLanguage(L"fr"));
    EXPECT_EQ(Translate(L"Remove"), L"Retirer");
}

TEST_F(LanguageTableTest, CreatingAnotherTableReplacesTheFirst) {
    LoadShipped();
    ASSERT_TRUE(SetLanguage(L"de"));
    ASSERT_EQ(Translate(L"Cancel"), L"Abbrechen");
    LoadText("<Root><Languages><Language Tag=\"en\"/><Language Tag=\"de\"/></Languages>"
             "<TextBlock Tag=\"B\"><Var Tag=\"Cancel\"><String Lang=\"de\" Text=\"Zweite\"/></Var></TextBlock>"
             "</Root>\n");
    EXPECT_EQ(CurrentLanguageTag(), L"en");
    EXPECT_EQ(Translate(L"Cancel"), L"") << "the new table has no English text for it";
    ASSERT_TRUE(SetLanguage(L"de"));
    EXPECT_EQ(Translate(L"Cancel"), L"Zweite");
}

TEST_F(LanguageTableTest, LookupRulesForMissingDuplicateAndRepeatedTexts) {
    LoadText("<Root><Languages><Language Tag=\"xx\"/><Language Tag=\"en\"/><Language Tag=\"de\"/></Languages>"
             "<TextBlock Tag=\"B\">"
             "<Var Tag=\"OnlyEnglish\"><String Lang=\"en\" Text=\"Only\"/></Var>"
             "<Var Tag=\"NoText\"><String Lang=\"de\"/></Var>"
             "<Var Tag=\"Twice\"><String Lang=\"de\" Text=\"first\"/><String Lang=\"de\" Text=\"second\"/></Var>"
             "<Var Tag=\"Dup\"><String Lang=\"de\" Text=\"one\"/></Var>"
             "<Var Tag=\"Dup\"><String Lang=\"de\" Text=\"two\"/></Var>"
             "<Var Tag=\"Quote &quot;q&quot;&#10;line\"><String Lang=\"de\" Text=\"ok\"/></Var>"
             "</TextBlock></Root>\n");
    ASSERT_TRUE(SetLanguage(L"de"));
    struct Row {
        const wchar_t* key;
        bool found;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"OnlyEnglish", true, L""},         {L"NoText", true, L""},
        {L"Twice", true, L"second"},         {L"Dup", true, L"one"},
        {L"Quote \"q\"\nline", true, L"ok"}, {L"Absent", false, L"Absent"},
    };
    for (const auto& row : rows) {
        std::wstring text = L"stale";
        EXPECT_EQ(LanguageTable::Current()->Lookup(row.key, text), row.found)
            << testing::PrintToString(std::wstring(row.key));
        EXPECT_EQ(text, row.text) << testing::PrintToString(std::wstring(row.key));
    }
}

TEST_F(LanguageTableTest, TablesThatCannotBeUsedLeaveEveryTextEnglish) {
    const std::string shippedWithoutFinalBreak = table_.substr(0, table_.size() - 2);
    const struct {
        const char* what;
        std::string bytes;
        std::size_t languages;
    } cases[] = {
        {"last byte is not a line break", shippedWithoutFinalBreak, 0},
        {"not well-formed", "<Root><Languages><Language Tag=\"de\"></Languages></Root>\n", 0},
        {"no Root", "<Top><Languages><Language Tag=\"de\"/></Languages><TextBlock Tag=\"B\"/></Top>\n", 0},
        {"no Language elements",
         "<Root><Languages/><TextBlock Tag=\"Screensaver Settings Dialog\"><Var Tag=\"Cancel\">"
         "<String Lang=\"de\" Text=\"Abbrechen\"/></Var></TextBlock></Root>\n",
         0},
        {"empty resource", "", 0},
        {"only a line break", "\n", 0},
    };
    for (const auto& c : cases) {
        LanguageTable& table = LoadText(c.bytes);
        EXPECT_EQ(table.LanguageCount(), c.languages) << c.what;
        EXPECT_EQ(table.TextBlockCount(), 0u) << c.what;
        EXPECT_FALSE(SetLanguage(L"de")) << c.what;
        EXPECT_FALSE(SetTextBlock(L"Screensaver Settings Dialog")) << c.what;
        EXPECT_EQ(CurrentLanguageTag(), L"") << c.what;
        EXPECT_EQ(Translate(L"Cancel"), L"Cancel") << c.what;
    }
}

TEST_F(LanguageTableTest, TableWithoutEnglishKeepsItsFirstLanguage) {
    LoadText("<Root><Languages><Language Tag=\"de\"/><Language Tag=\"fr\"/></Languages>"
             "<TextBlock Tag=\"B\"><Var Tag=\"Cancel\"><String Lang=\"de\" Text=\"Abbrechen\"/></Var></TextBlock>"
             "</Root>\r\n");
    EXPECT_EQ(CurrentLanguageTag(), L"de");
    EXPECT_EQ(Translate(L"Cancel"), L"Abbrechen");
    EXPECT_FALSE(SetLanguage(L"en"));
}

TEST_F(LanguageTableTest, TableWithoutBlocksTranslatesNothing) {
    LoadText("<Root><Languages><Language Tag=\"en\"/></Languages></Root>\n");
    EXPECT_EQ(CurrentLanguageTag(), L"en");
    std::wstring text;
    EXPECT_FALSE(LanguageTable::Current()->Lookup(L"", text));
    EXPECT_EQ(Translate(L"Cancel"), L"Cancel");
}

TEST_F(LanguageTableTest, MissingOverrideFileFallsBackToTheResourceWhichNativeBuildsLack) {
    LanguageTable& table = LanguageTable::Create(L"/nonexistent/table.xml", 11);
    EXPECT_EQ(table.LanguageCount(), 0u);
    EXPECT_EQ(Translate(L"Cancel"), L"Cancel");
}

} // namespace
