// Memory inside another process, reserved, written, read and released.
#include "tests/e2e/driver/remote_memory.h"

namespace e2e {

RemoteMemory::RemoteMemory(HWND window, std::size_t bytes) : size_(bytes) {
    DWORD processId = 0;
    if (!GetWindowThreadProcessId(window, &processId) || bytes == 0) return;
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process_) return;
    address_ = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

bool RemoteMemory::Write(std::size_t offset, const void* data, std::size_t bytes) {
    if (!address_ || offset > size_ || bytes > size_ - offset) return false;
    SIZE_T written = 0;
    return WriteProcessMemory(process_, At(offset), data, bytes, &written) && written == bytes;
}

bool RemoteMemory::Read(std::size_t offset, void* data, std::size_t bytes) const {
    if (!address_ || offset > size_ || bytes > size_ - offset) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(process_, At(offset), data, bytes, &read) && read == bytes;
}

} // namespace e2e
