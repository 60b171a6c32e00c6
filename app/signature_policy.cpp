#include "app/signature_policy.h"

#include <string>

void AddBuiltInKeys(SignaturePolicy& policy, const std::vector<std::string_view>& texts) {
    for (const std::string_view text : texts)
        if (std::optional<TrustedKey> key = ParsePublicKeyText(text)) policy.trusted.push_back(std::move(*key));
}

bool AddListedKey(SignaturePolicy& policy, const std::wstring& valueName, std::wstring_view data) {
    if (valueName.empty()) return false;
    // A ".pub" text is ASCII; anything else is no key of ours, and is not
    // narrowed into one.
    std::string text;
    text.reserve(data.size());
    for (const wchar_t c : data) {
        if (c == L'\0') break;
        if (c > 0x7F) return false;
        text.push_back(static_cast<char>(c));
    }
    std::optional<TrustedKey> key = ParsePublicKeyText(text);
    if (!key) return false;
    key->name = valueName;
    policy.trusted.push_back(std::move(*key));
    return true;
}
