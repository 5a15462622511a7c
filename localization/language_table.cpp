// The language table: loading, the current language and block, lookups, and
// the process-wide instance.
#include "localization/language_table.h"

#include "localization/language_table_resource.h"

#include <pugixml.hpp>

#include <cwchar>
#include <new>
#include <vector>

struct LanguageTable::Document {
    pugi::xml_document xml;
    std::vector<pugi::xml_node> languages;
    std::vector<pugi::xml_node> blocks;
    pugi::xml_node language; // empty when there is no current language
    pugi::xml_node block;    // empty when there is no current text block
};

namespace {

std::unique_ptr<LanguageTable> g_instance;

// The first element of `nodes` whose Tag is exactly `tag`, or an empty node.
pugi::xml_node FindByTag(const std::vector<pugi::xml_node>& nodes, const std::wstring& tag) {
    for (const auto& node : nodes)
        if (tag == node.attribute(L"Tag").value()) return node;
    return pugi::xml_node();
}

} // namespace

LanguageTable::LanguageTable() : document_(std::make_unique<Document>()) {}

LanguageTable::~LanguageTable() = default;

LanguageTable& LanguageTable::Install(std::unique_ptr<LanguageTable> table) {
    table->ChooseEnglish();
    g_instance = std::move(table); // the previous table goes here
    return *g_instance;
}

LanguageTable& LanguageTable::Create(const std::wstring& overridePath, WORD resourceId) {
    std::unique_ptr<LanguageTable> table(new LanguageTable());
    table->Load(overridePath, resourceId);
    return Install(std::move(table));
}

LanguageTable& LanguageTable::CreateFromResourceBytes(const void* data, std::size_t size) {
    std::unique_ptr<LanguageTable> table(new LanguageTable());
    table->LoadResourceBytes(data, size);
    return Install(std::move(table));
}

LanguageTable* LanguageTable::Current() { return g_instance.get(); }

void LanguageTable::DestroyCurrent() { g_instance.reset(); }

void LanguageTable::Load(const std::wstring& path, WORD resourceId) {
    if (!path.empty() && document_->xml.load_file(path.c_str())) {
        TakeDocument();
        return;
    }
    std::vector<char> bytes;
    if (!ReadRawDataResource(resourceId, bytes)) return;
    LoadResourceBytes(bytes.data(), bytes.size());
}

void LanguageTable::LoadResourceBytes(const void* data, std::size_t size) {
    // The stored table ends with a line break, which is not part of the
    // document: the last byte is dropped.
    if (!data || size == 0) return;
    try {
        if (!document_->xml.load_buffer(data, size - 1)) return;
    } catch (const std::bad_alloc&) {
        return;
    }
    TakeDocument();
}

void LanguageTable::TakeDocument() {
    Document& doc = *document_;
    const pugi::xml_node root = doc.xml.child(L"Root");
    if (!root) return;
    const pugi::xml_node languages = root.child(L"Languages");
    if (!languages.child(L"Language")) return;
    for (auto language = languages.child(L"Language"); language; language = language.next_sibling(L"Language"))
        doc.languages.push_back(language);
    for (auto block = root.child(L"TextBlock"); block; block = block.next_sibling(L"TextBlock"))
        doc.blocks.push_back(block);
    doc.language = doc.languages.front();
    if (!doc.blocks.empty()) doc.block = doc.blocks.front();
}

void LanguageTable::ChooseEnglish() { SetLanguage(L"en"); }

bool LanguageTable::SetLanguage(const std::wstring& tag) {
    const pugi::xml_node found = FindByTag(document_->languages, tag);
    if (!found) return false;
    document_->language = found;
    return true;
}

bool LanguageTable::SetTextBlock(const std::wstring& tag) {
    const pugi::xml_node found = FindByTag(document_->blocks, tag);
    if (!found) return false;
    document_->block = found;
    return true;
}

std::wstring LanguageTable::LanguageTag() const { return document_->language.attribute(L"Tag").value(); }

bool LanguageTable::Lookup(const std::wstring& key, std::wstring& output) const {
    try {
        output = key;
        if (!document_->block) return false;
        const pugi::char_t* language = document_->language.attribute(L"Tag").value();
        for (auto var = document_->block.child(L"Var"); var; var = var.next_sibling(L"Var")) {
            if (key != var.attribute(L"Tag").value()) continue;
            pugi::xml_node chosen;
            for (auto text = var.child(L"String"); text; text = text.next_sibling(L"String"))
                if (std::wcscmp(text.attribute(L"Lang").value(), language) == 0) chosen = text;
            output = chosen.attribute(L"Text").value();
            return true;
        }
        return false;
    } catch (const std::bad_alloc&) {
        try {
            output = key;
        } catch (const std::bad_alloc&) {
        }
        return false;
    }
}

std::wstring LanguageTable::Translate(const std::wstring& key) const {
    std::wstring text;
    Lookup(key, text);
    return text;
}

std::size_t LanguageTable::LanguageCount() const { return document_->languages.size(); }

std::size_t LanguageTable::TextBlockCount() const { return document_->blocks.size(); }

std::wstring Translate(const std::wstring& key) {
    const LanguageTable* table = LanguageTable::Current();
    return table ? table->Translate(key) : key;
}

bool SetLanguage(const std::wstring& tag) {
    LanguageTable* table = LanguageTable::Current();
    return table && table->SetLanguage(tag);
}

bool SetTextBlock(const std::wstring& tag) {
    LanguageTable* table = LanguageTable::Current();
    return table && table->SetTextBlock(tag);
}

std::wstring CurrentLanguageTag() {
    const LanguageTable* table = LanguageTable::Current();
    return table ? table->LanguageTag() : std::wstring();
}
