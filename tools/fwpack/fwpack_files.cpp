#include "tools/fwpack/fwpack_files.h"

#include <fstream>
#include <iterator>
#include <random>

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
    // A temporary of our own: created new under a name nobody else chose.
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::filesystem::path temporary = path;
        temporary += ".writing-" + std::to_string(random());
        if (!CreateNewFile(temporary, text, false)) continue;
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (error) std::filesystem::remove(temporary, error);
        return !error;
    }
    return false;
}

#if defined(_WIN32)
namespace {

// "D:P(A;;FA;;;<the user's SID>)": full access for the user who runs the
// tool, nothing inherited, nobody else.
std::wstring OwnerOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    wchar_t* sid = nullptr;
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
                    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid);
    CloseHandle(token);
    if (!ok) return L"";
    std::wstring descriptor = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
    LocalFree(sid);
    return descriptor;
}

}  // namespace

bool CreateNewFile(const std::filesystem::path& path, const std::string& text, bool ownerOnly) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ownerOnly) {
        const std::wstring sddl = OwnerOnlyDescriptor();
        if (sddl.empty() ||
            !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (descriptor) LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}
#else
bool CreateNewFile(const std::filesystem::path& path, const std::string& text, bool ownerOnly) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
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
