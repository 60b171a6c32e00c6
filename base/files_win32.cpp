#include <windows.h>

#include "base/files.h"
#include "base/kernel_handle_win32.h"

namespace {

class Win32File final : public InputFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}

    int Read(void* buffer, int count) override {
        DWORD read = 0;
        if (count <= 0) return 0;
        if (!ReadFile(handle_.Get(), buffer, static_cast<DWORD>(count), &read, nullptr)) return -1;
        return static_cast<int>(read);
    }

    std::int64_t Size() override {
        LARGE_INTEGER size;
        return GetFileSizeEx(handle_.Get(), &size) ? size.QuadPart : -1;
    }

private:
    KernelHandle handle_;
};

}  // namespace

std::unique_ptr<InputFile> PlatformFiles::OpenForReading(const std::wstring& path, FileSharing sharing) {
    DWORD share = 0;
    if (sharing == FileSharing::ReadWrite) share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (sharing == FileSharing::ReadOnly) share = FILE_SHARE_READ;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
}
