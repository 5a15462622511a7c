// Raw data resources of the program's own module.
#include "localization/language_table_resource.h"

#include <windows.h>

namespace {

// Releases a loaded resource (a no-op on current Windows, kept for form).
class LoadedResource {
  public:
    explicit LoadedResource(HGLOBAL handle) : handle_(handle) {}
    ~LoadedResource() {
        if (handle_) FreeResource(handle_);
    }
    LoadedResource(const LoadedResource&) = delete;
    LoadedResource& operator=(const LoadedResource&) = delete;
    HGLOBAL Get() const { return handle_; }

  private:
    HGLOBAL handle_;
};

} // namespace

bool ReadRawDataResource(WORD resourceId, std::vector<char>& bytes) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    if (!found) return false;
    LoadedResource loaded(LoadResource(module, found));
    if (!loaded.Get()) return false;
    const void* data = LockResource(loaded.Get());
    const DWORD size = SizeofResource(module, found);
    if (!data || size == 0) return false;
    const char* first = static_cast<const char*>(data);
    bytes.assign(first, first + size);
    return true;
}
