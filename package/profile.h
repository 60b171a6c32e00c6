// The platform's profile functions, reduced to the two lookups the
// configuration reads need. Windows answers through GetPrivateProfileStringW
// and GetPrivateProfileIntW; elsewhere IniFile reads the file.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The value of `key` in `section`, or nothing when the file, the section or
// the key is absent.
std::optional<std::wstring> ReadProfileValue(const wchar_t* path, const wchar_t* section, const wchar_t* key);

// The value read as an integer; `defaultValue` when the key is absent.
int ReadProfileInt(const wchar_t* path, const wchar_t* section, const wchar_t* key, int defaultValue);

// Every key and value of a section, in file order; empty when the file or the
// section is absent.
std::vector<std::pair<std::wstring, std::wstring>> ReadProfileSection(const wchar_t* path, const wchar_t* section);
