#include <windows.h>

#include <vector>

#include "package/profile.h"

namespace {

// A default no stored value can hold: the control character makes it tell an
// absent key from a present one, including a present empty one.
constexpr wchar_t kAbsent[] = L"\x1F<absent>\x1F";

// Longer than any value the configuration reads keep (512 characters).
constexpr DWORD kValueChars = 4096;

}  // namespace

std::optional<std::wstring> ReadProfileValue(const wchar_t* path, const wchar_t* section, const wchar_t* key) {
    std::vector<wchar_t> buffer(kValueChars);
    const DWORD copied = GetPrivateProfileStringW(section, key, kAbsent, buffer.data(), kValueChars, path);
    std::wstring value(buffer.data(), copied);
    if (value == kAbsent) return std::nullopt;
    return value;
}

int ReadProfileInt(const wchar_t* path, const wchar_t* section, const wchar_t* key, int defaultValue) {
    return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, path));
}
