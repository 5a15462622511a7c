// The settings tree: named, typed values and child trees, read from and
// written to a registry key in the settings' text format.
#pragma once

#include "platform/win_types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class Node {
  public:
    enum class Kind { Child = 0, Float = 1, Int = 2, Text = 3, None = 4 };

    // Thrown by Get for a path that runs through an entry that is not a Child.
    class KeyNotFound {};

    class Value {
      public:
        Value() = default;
        // Takes ownership of the child; a null child makes a None value.
        Value(std::unique_ptr<Node> child);
        Value(float number) : kind_(Kind::Float), float_(number) {}
        Value(double number) : kind_(Kind::Float), float_(static_cast<float>(number)) {}
        Value(std::int32_t number) : kind_(Kind::Int), int_(number) {}
        Value(const std::wstring& text) : kind_(Kind::Text), text_(text) {}
        Value(const wchar_t* text) : kind_(Kind::Text), text_(text ? text : L"") {}
        // A copy of a Child value holds a copy of the child tree, so that no
        // two values own the same child.
        Value(const Value& other);
        Value(Value&& other) noexcept;
        Value& operator=(const Value& other);
        Value& operator=(Value&& other) noexcept;
        ~Value();

        Kind GetKind() const { return kind_; }
        Node* AsNode() const { return kind_ == Kind::Child ? child_.get() : nullptr; }
        float AsFloat() const { return kind_ == Kind::Float ? float_ : 0.0f; }
        std::int32_t AsInt() const { return kind_ == Kind::Int ? int_ : 0; }
        bool AsBool() const { return kind_ == Kind::Int && int_ != 0; }
        std::wstring AsText() const { return kind_ == Kind::Text ? text_ : std::wstring(); }
        std::string AsUtf8Text() const;

      private:
        Kind kind_ = Kind::None;
        float float_ = 0.0f;
        std::int32_t int_ = 0;
        std::wstring text_;
        std::unique_ptr<Node> child_;
    };

    // Entry names in the order of their UTF-16 code units (case-sensitive,
    // upper case before lower case), the order in which they are written.
    struct NameOrder {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using Entries = std::map<std::wstring, Value, NameOrder>;

    Node();
    Node(const Node& other) = default;
    Node(Node&& other) = default;
    Node& operator=(const Node& other) = default;
    Node& operator=(Node&& other) = default;
    ~Node();

    // The value at `path` ("Name" or "Child/.../Name"), creating child trees
    // on the way and a None value at the end where they are missing. Throws
    // KeyNotFound when an entry on the way exists but is not a Child.
    Value& Get(const std::wstring& path);
    Value& Get(const std::string& utf8Path);
    // True when the entry at `path` exists and is of `kind`; creates nothing.
    bool Has(const std::wstring& path, Kind kind) const;

    const Entries& GetEntries() const { return entries_; }

    // Overlays the tree with the values of the key and its subkeys. False only
    // when the key itself cannot be read; a subkey that cannot be opened is
    // passed over and everything else is still read.
    bool ReadFromRegistry(HKEY root, const std::wstring& subKey);
    // Writes every entry into the key, creating keys; never deletes anything.
    // False at the first key or value that cannot be written.
    bool WriteToRegistry(HKEY root, const std::wstring& subKey) const;

  private:
    Entries entries_;
    bool use64BitView_;
};
