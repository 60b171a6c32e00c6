#include <fstream>
#include <iterator>

#include "base/files.h"
#include "package/ini_file.h"
#include "package/profile.h"

namespace {

// Every read looks at the file anew, as the profile functions do, so an
// edited file takes effect at the next read.
std::optional<IniFile> LoadIniFile(const wchar_t* path) {
    std::ifstream stream(ToNativePath(path), std::ios::binary);
    if (!stream) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    return IniFile::Parse(text);
}

}  // namespace

std::optional<std::wstring> ReadProfileValue(const wchar_t* path, const wchar_t* section, const wchar_t* key) {
    const std::optional<IniFile> file = LoadIniFile(path);
    if (!file) return std::nullopt;
    return file->Value(section, key);
}

int ReadProfileInt(const wchar_t* path, const wchar_t* section, const wchar_t* key, int defaultValue) {
    const std::optional<std::wstring> value = ReadProfileValue(path, section, key);
    if (!value || value->empty()) return defaultValue;
    return ParseProfileInt(*value);
}

std::vector<std::pair<std::wstring, std::wstring>> ReadProfileSection(const wchar_t* path, const wchar_t* section) {
    const std::optional<IniFile> file = LoadIniFile(path);
    if (!file) return {};
    return file->Section(section);
}
