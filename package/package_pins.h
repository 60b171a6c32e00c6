// The SHA-256 pins of a package's files: "Sha256" in an entry's section pins
// its "FileName", and "Sha256_<XX>" pins the per-variant file "FileName_<XX>"
// beside it. Values are 64 hexadecimal digits, read (and decoded when the
// package is encoded) like every other value. A file without its key is
// unpinned and sent as it is.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_pins.h"
#include "base/sha256.h"
#include "package/package_model.h"
#include "package/package_settings.h"

inline constexpr wchar_t kPinKey[] = L"Sha256";
inline constexpr wchar_t kFileNameKey[] = L"FileName";

struct FilePin {
    bool pinned = false;  // the key is there with a value
    // Empty when the value is no SHA-256: the file is pinned, and no content
    // matches it.
    std::optional<Sha256Digest> digest;
};

// One file the description names: an entry's "FileName" or one of its
// "FileName_<XX>", with the key of its pin.
struct NamedFile {
    int entry;
    std::wstring section;  // "Fw<entry>"
    std::wstring pinKey;   // "Sha256" or "Sha256_<XX>"
    std::wstring name;     // as the description gives it, decoded
    std::wstring path;     // in the package folder
};

// Every file that the readable entries name, in file order; keys with an
// empty value name none.
std::vector<NamedFile> NamedFiles(const PackageSettings& settings);

// "Sha256" + the suffix of a file-name key: "FileName" -> "Sha256",
// "FileName_JP" -> "Sha256_JP". Empty for a key that names no file.
std::wstring PinKeyOf(const std::wstring& fileNameKey);

// The pin stored under `key` in `section`.
FilePin ReadPin(const PackageSettings& settings, const std::wstring& section, const std::wstring& key);

// The pin stored under `pinKey` in the section of entry `entryIndex`.
FilePin ReadFilePin(const PackageSettings& settings, int entryIndex, const std::wstring& pinKey);

// The pin of the file that ChooseEntryFile picks for a printer of this
// variant ("Sha256_<XX>" for an "MCUFW" entry, "Sha256" otherwise); an
// unpinned one when there is no such file.
FilePin ChooseEntryPin(const PackageSettings& settings, const PackageRows& rows, int entryIndex,
                       const char* variantCode);

// Pins every file that one printer will get (the entry files as
// ChooseEntryFile picks them for this variant) to `pins`.
void PinPrinterFiles(const PackageSettings& settings, const PackageRows& rows, const char* variantCode,
                     PinnedFiles& pins);

// Pins each entry's "FileName" file, as the command-line updates send them.
void PinEntryFiles(const PackageSettings& settings, PinnedFiles& pins);
