// Whom the program trusts to sign a package, and whether it takes unsigned
// ones: the keys built into the program, and the machine's policy, which
// administrators set in the registry:
//
//   HKLM\SOFTWARE\Policies\Tessaro\TessaroFWDL
//     RequireSignedPackages  DWORD, nonzero: unsigned packages are refused
//   HKLM\SOFTWARE\Policies\Tessaro\TessaroFWDL\TrustedKeys
//     <the key's name>       REG_SZ, the text of its ".pub" file
//
// Keys never come from the package itself. Portable, but for the registry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "package/package_signature.h"

inline constexpr wchar_t kPolicyKeyPath[] = L"SOFTWARE\\Policies\\Tessaro\\TessaroFWDL";
inline constexpr wchar_t kTrustedKeysSubkey[] = L"TrustedKeys";
inline constexpr wchar_t kRequireSignedValue[] = L"RequireSignedPackages";

struct SignaturePolicy {
    std::vector<TrustedKey> trusted;
    bool requireSigned = false;
};

// The ".pub" texts that the build embedded (none in our own builds).
std::vector<std::string_view> BuiltInPublicKeyTexts();

// Adds the built-in keys; one whose text does not parse is left out.
void AddBuiltInKeys(SignaturePolicy& policy, const std::vector<std::string_view>& texts);

// Adds one value of the machine's list: `valueName` is the key's name shown
// to users (a name inside the text is ignored), `data` the ".pub" text. A
// value without a name or whose text does not parse as a key is skipped:
// it never makes any key trusted. False when skipped.
bool AddListedKey(SignaturePolicy& policy, const std::wstring& valueName, std::wstring_view data);

// The whole policy: the built-in keys, then the machine's list and its
// requirement, read through the registry's 64-bit view so that the 32-bit
// and 64-bit programs see the same policy. Windows only.
SignaturePolicy ReadSignaturePolicy();
