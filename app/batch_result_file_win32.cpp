#include <windows.h>

#include <string>

#include "app/batch_result.h"
#include "base/kernel_handle_win32.h"

namespace {

// Names tried for the temporary file before the replacement gives up.
constexpr int kTemporaryNames = 100;

// A file created new beside `path` under a name of this process: an
// existing file or link of that name is never opened, truncated or followed.
KernelHandle CreateTemporaryBeside(const std::wstring& path, std::wstring& temporary) {
    const std::wstring stem = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".";
    for (int i = 0; i < kTemporaryNames; ++i) {
        temporary = stem + std::to_wstring(i) + L".tmp";
        KernelHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    temporary.clear();
    return KernelHandle();
}

}  // namespace

bool PlatformResultFile::Replace(const std::wstring& path, std::string_view bytes) {
    std::wstring temporary;
    KernelHandle file = CreateTemporaryBeside(path, temporary);
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
