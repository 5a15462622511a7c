// Owners for COM objects and kernel handles: interface pointers, BSTRs,
// VARIANTs, the thread's COM initialisation, and handles closed with CloseHandle.
#pragma once

#include <windows.h>

#include <oleauto.h>

namespace platform {

// An interface pointer, released when it goes out of scope.
template <typename Interface> class ComPtr {
  public:
    ComPtr() = default;
    explicit ComPtr(Interface* adopted) : object_(adopted) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = other.object_;
            other.object_ = nullptr;
        }
        return *this;
    }

    Interface* Get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For functions that hand out a new reference; drops the old one first.
    Interface** Receive() {
        Reset();
        return &object_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset() {
        if (object_) object_->Release();
        object_ = nullptr;
    }

  private:
    Interface* object_ = nullptr;
};

// A BSTR made from a text, freed when it goes out of scope.
class Bstr {
  public:
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }

  private:
    BSTR text_;
};

// A VARIANT, cleared when it goes out of scope.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Receive() {
        VariantClear(&value_);
        return &value_;
    }
    const VARIANT& Get() const { return value_; }

  private:
    VARIANT value_;
};

// CoInitialize for the current thread, balanced by CoUninitialize when it
// succeeded (S_FALSE, already initialised, counts as success and needs it too).
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

// A kernel handle (process, thread, event, file), closed when it goes out of scope.
class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr) {
        if (*this) CloseHandle(handle_);
        handle_ = handle;
    }

  private:
    HANDLE handle_;
};

} // namespace platform
