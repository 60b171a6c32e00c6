#include <windows.h>

#include <vector>

#include "app/signature_policy.h"

namespace {

// The 64-bit view in both builds: a 32-bit program would otherwise read the
// redirected WOW6432Node copy, which administrators do not set.
constexpr REGSAM kPolicyAccess = KEY_READ | KEY_WOW64_64KEY;

class RegistryKey {
public:
    RegistryKey(HKEY parent, const wchar_t* path) {
        if (!parent || RegOpenKeyExW(parent, path, 0, kPolicyAccess, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A requirement that is there but cannot be read as a number counts as set:
// a damaged policy must not let unsigned packages through.
bool RequiresSigned(HKEY policy) {
    DWORD type = 0;
    BYTE data[8] = {};
    DWORD bytes = sizeof data;
    const LSTATUS status = RegQueryValueExW(policy, kRequireSignedValue, nullptr, &type, data, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) return true;
    if (type == REG_DWORD && bytes == 4) return *reinterpret_cast<const DWORD*>(data) != 0;
    if (type == REG_QWORD && bytes == 8) return *reinterpret_cast<const ULONGLONG*>(data) != 0;
    return true;
}

void AddListedKeys(SignaturePolicy& policy, HKEY list) {
    DWORD nameChars = 0, dataBytes = 0;
    if (RegQueryInfoKeyW(list, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameChars, &dataBytes,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<wchar_t> name(nameChars + 1);
    std::vector<wchar_t> data(dataBytes / sizeof(wchar_t) + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(list, index, name.data(), &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) return;
        // A value that grew while we read is skipped, not cut.
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;
        AddListedKey(policy, std::wstring(name.data(), nameLength),
                     std::wstring_view(data.data(), bytes / sizeof(wchar_t)));
    }
}

}  // namespace

SignaturePolicy ReadSignaturePolicy() {
    SignaturePolicy policy;
    AddBuiltInKeys(policy, BuiltInPublicKeyTexts());
    const RegistryKey root(HKEY_LOCAL_MACHINE, kPolicyKeyPath);
    if (!root.Get()) return policy;
    policy.requireSigned = RequiresSigned(root.Get());
    const RegistryKey list(root.Get(), kTrustedKeysSubkey);
    if (list.Get()) AddListedKeys(policy, list.Get());
    return policy;
}
