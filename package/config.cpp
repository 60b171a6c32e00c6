#include "package/config.h"

#include <optional>
#include <string>

#include "base/text.h"
#include "package/config_codec.h"
#include "package/profile.h"

int ReadConfigString(int encoding, const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
                     wchar_t* out, int outChars, const wchar_t* path) {
    if (outChars <= 0) return 0;
    const std::optional<std::wstring> stored = ReadProfileValue(path, section, key);
    const auto fallBackToDefault = [&] {
        CopyTruncated(std::wstring_view(defaultText), out, static_cast<std::size_t>(outChars));
        return 0;
    };

    if (encoding == 0) {
        const std::wstring_view text = stored ? std::wstring_view(*stored) : std::wstring_view(defaultText);
        return static_cast<int>(CopyTruncated(text, out, static_cast<std::size_t>(outChars)));
    }

    // An absent key yields its plain default. Decoding a default instead
    // would turn texts such as "00.00.00", which happen to pass the check,
    // into stray bytes.
    if (!stored) return fallBackToDefault();

    const std::wstring_view raw = std::wstring_view(*stored).substr(0, kEncodedValueChars - 1);
    unsigned char decoded[kDecodedValueBytes + 1];
    const int count = DecodeConfigValue(ToEightBit(raw), decoded, kDecodedValueBytes);
    if (count < 0) return fallBackToDefault();

    decoded[count] = 0;
    const std::string_view text(reinterpret_cast<const char*>(decoded));
    CopyTruncated(FromEightBit(text), out, static_cast<std::size_t>(outChars));
    return count;
}

int ReadConfigInt(int encoding, const wchar_t* section, const wchar_t* key, int defaultValue, const wchar_t* path) {
    if (encoding == 0) return ReadProfileInt(path, section, key, defaultValue);

    wchar_t text[kDecodedValueBytes];
    if (ReadConfigString(encoding, section, key, L"", text, kDecodedValueBytes, path) == 0 || text[0] == L'\0')
        return defaultValue;
    return ParseLeadingDecimal(text).value_or(defaultValue);
}
