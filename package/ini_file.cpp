#include "package/ini_file.h"

#include "base/text.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

std::wstring_view Unquote(std::wstring_view value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::wstring wide = FromUtf8(text);

    IniFile file;
    std::wstring section;
    bool inSection = false;
    std::size_t start = 0;
    while (start <= wide.size()) {
        std::size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos) end = wide.size();
        const std::wstring_view line = Trim(std::wstring_view(wide).substr(start, end - start));
        start = end + 1;

        if (line.empty() || line.front() == L';' || line.front() == L'#') continue;
        if (line.front() == L'[') {
            const std::size_t close = line.find(L']');
            section = std::wstring(Trim(line.substr(1, close == std::wstring_view::npos ? line.npos : close - 1)));
            inSection = true;
            continue;
        }
        const std::size_t equals = line.find(L'=');
        if (!inSection || equals == std::wstring_view::npos) continue;
        file.entries_.push_back(
            {section, std::wstring(Trim(line.substr(0, equals))), std::wstring(Unquote(Trim(line.substr(equals + 1))))});
    }
    return file;
}

std::optional<std::wstring> IniFile::Value(std::wstring_view section, std::wstring_view key) const {
    for (const Entry& entry : entries_)
        if (SameName(entry.section, section) && SameName(entry.key, key)) return entry.value;
    return std::nullopt;
}

std::vector<std::pair<std::wstring, std::wstring>> IniFile::Section(std::wstring_view section) const {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (const Entry& entry : entries_) {
        if (!SameName(entry.section, section)) continue;
        bool seen = false;
        for (const auto& pair : pairs) seen = seen || SameName(pair.first, entry.key);
        if (!seen) pairs.emplace_back(entry.key, entry.value);
    }
    return pairs;
}

int ParseProfileInt(std::wstring_view text) { return ParseLeadingDecimal(text).value_or(0); }
