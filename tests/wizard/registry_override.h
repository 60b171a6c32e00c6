// A value of the registry (the current user's, or the machine's through its
// 64-bit view) set for a test and put back as it was afterwards (in the
// test's own Wine prefix). Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A registry value set for the test and put back as it was afterwards.
class RegistryOverride {
public:
    RegistryOverride(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
        : RegistryOverride(HKEY_CURRENT_USER, key, name, type, data, bytes) {}
    RegistryOverride(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
        : name_(name) {
        if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD oldBytes = 0;
        if (RegQueryValueExW(key_, name, nullptr, &oldType_, nullptr, &oldBytes) == ERROR_SUCCESS) {
            old_.resize(oldBytes);
            RegQueryValueExW(key_, name, nullptr, &oldType_, old_.data(), &oldBytes);
            hadOld_ = true;
        }
        RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), bytes);
    }
    ~RegistryOverride() {
        if (!key_) return;
        if (hadOld_)
            RegSetValueExW(key_, name_.c_str(), 0, oldType_, old_.data(), static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueW(key_, name_.c_str());
        RegCloseKey(key_);
    }
    bool Set() const { return key_ != nullptr; }
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

private:
    HKEY key_ = nullptr;
    std::wstring name_;
    bool hadOld_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> old_;
};
