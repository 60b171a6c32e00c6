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

std::vector<std::pair<std::wstring, std::wstring>> ReadProfileSection(const wchar_t* path, const wchar_t* section) {
    // The section comes as "key=value" texts, each ended by a NUL, the whole
    // by one more; a buffer too small is cut, so grow until it fits.
    std::vector<wchar_t> buffer(8192);
    DWORD copied = 0;
    for (;;) {
        copied = GetPrivateProfileSectionW(section, buffer.data(), static_cast<DWORD>(buffer.size()), path);
        if (copied + 2 < buffer.size() || buffer.size() >= (1u << 24)) break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (std::size_t at = 0; at < copied && buffer[at] != L'\0';) {
        const std::wstring line(buffer.data() + at);
        at += line.size() + 1;
        const std::size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) pairs.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return pairs;
}
