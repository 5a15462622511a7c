// Memory inside the process that owns a window, for the control messages
// whose pointers the system does not carry across processes (list views,
// the open-file dialog's folder).
#pragma once

#include <windows.h>

#include <cstddef>

namespace e2e {

class RemoteMemory {
  public:
    // `bytes` of zeroed memory in the process of `window`; not Valid() when
    // that process cannot be opened or the memory not reserved.
    RemoteMemory(HWND window, std::size_t bytes);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool Valid() const { return address_ != nullptr; }
    // The address as the owning process sees it, at `offset` bytes in.
    void* At(std::size_t offset = 0) const { return static_cast<char*>(address_) + offset; }
    LPARAM Param(std::size_t offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }

    bool Write(std::size_t offset, const void* data, std::size_t bytes);
    bool Read(std::size_t offset, void* data, std::size_t bytes) const;

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace e2e
