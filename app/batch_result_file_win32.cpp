#include <windows.h>

#include "app/batch_result.h"
#include "base/kernel_handle_win32.h"

bool PlatformResultFile::Replace(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L".tmp";
    KernelHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file.Get());
    file.Reset();  // closed before it replaces the old file
    // The old content stays until the new one is whole on disk.
    if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
