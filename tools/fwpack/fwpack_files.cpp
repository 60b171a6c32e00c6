#include "tools/fwpack/fwpack_files.h"

#include <fstream>
#include <iterator>

#include "base/files.h"

#if defined(_WIN32)
#include <windows.h>

#include <sddl.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

std::filesystem::path FileSystemPath(const std::wstring& path) {
#if defined(_WIN32)
    return std::filesystem::path(path);
#else
    return std::filesystem::path(ToNativePath(path));
#endif
}

std::optional<std::string> ReadText(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path temporary = path;
    temporary += ".writing";
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream || !stream.write(text.data(), static_cast<std::streamsize>(text.size())) || !stream.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

#if defined(_WIN32)
bool CreateOwnerOnlyFile(const std::filesystem::path& path, const std::string& text) {
    // Full access for the file's owner, nothing inherited, nobody else.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}
#else
bool CreateOwnerOnlyFile(const std::filesystem::path& path, const std::string& text) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(file, text.data() + done, text.size() - done);
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
    const bool ok = done == text.size() && ::fsync(file) == 0;
    ::close(file);
    if (!ok) ::unlink(path.c_str());
    return ok;
}
#endif
