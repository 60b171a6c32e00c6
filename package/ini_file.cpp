#include "package/ini_file.h"

#include "base/text.h"

namespace {

std::wstring DecodeUtf8Lenient(std::string_view text) {
    std::wstring out;
    std::size_t i = 0;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    while (i < text.size()) {
        const unsigned char lead = byte(i);
        int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char follow = byte(i + static_cast<std::size_t>(k));
            if ((follow & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (follow & 0x3F);
        }
        if (valid && length > 1 && (c < 0x80 || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) valid = false;
        if (!valid) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

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
    const std::wstring wide = DecodeUtf8Lenient(text);

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

int ParseProfileInt(std::wstring_view text) { return ParseLeadingDecimal(text).value_or(0); }
