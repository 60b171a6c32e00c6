#include "base/text.h"

#include <algorithm>

std::string ToEightBit(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(static_cast<unsigned>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

std::wstring FromEightBit(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

namespace {

template <typename Char>
std::size_t CopyTruncatedImpl(std::basic_string_view<Char> text, Char* out, std::size_t capacity) {
    if (capacity == 0) return 0;
    const std::size_t count = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), count, out);
    out[count] = Char{};
    return count;
}

template <typename Char>
std::size_t BoundedLengthImpl(const Char* text, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && text[length] != Char{}) ++length;
    return length;
}

}  // namespace

std::size_t CopyTruncated(std::string_view text, char* out, std::size_t capacity) {
    return CopyTruncatedImpl(text, out, capacity);
}
std::size_t CopyTruncated(std::wstring_view text, wchar_t* out, std::size_t capacity) {
    return CopyTruncatedImpl(text, out, capacity);
}
std::size_t BoundedLength(const char* text, std::size_t capacity) { return BoundedLengthImpl(text, capacity); }
std::size_t BoundedLength(const wchar_t* text, std::size_t capacity) { return BoundedLengthImpl(text, capacity); }

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        // Windows keeps wide text in UTF-16: join surrogate pairs.
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::optional<int> ParseLeadingDecimal(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i >= text.size() || text[i] < L'0' || text[i] > L'9') return std::nullopt;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) value = value * 10u + unsigned(text[i] - L'0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

std::wstring FromUtf8(std::string_view text) {
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

std::wstring QuotedArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
        return std::wstring(argument);
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}
