// A reader of initialisation-file text, for platforms without the Windows
// profile functions. It answers lookups as those functions do:
//   - sections in square brackets, then "key=value" lines;
//   - section and key names compare without regard to ASCII case;
//   - white space around names and values is dropped, and a value wrapped in
//     matching double or single quotes loses them;
//   - lines starting with ";" or "#", and lines without "=", are ignored;
//   - the first occurrence of a key wins, also across repeated sections;
//   - lines may be of any length.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IniFile {
public:
    // Text is UTF-8 (an optional byte order mark is skipped); bytes that are
    // not valid UTF-8 are taken one by one as characters of the same code.
    static IniFile Parse(std::string_view text);

    std::optional<std::wstring> Value(std::wstring_view section, std::wstring_view key) const;
    // Keys and values of a section in file order, the first occurrence of each key.
    std::vector<std::pair<std::wstring, std::wstring>> Section(std::wstring_view section) const;

private:
    struct Entry {
        std::wstring section;
        std::wstring key;
        std::wstring value;
    };
    std::vector<Entry> entries_;
};

// Decimal reading of a profile integer: optional sign and digits after
// leading white space; text that does not begin with a number reads as 0.
int ParseProfileInt(std::wstring_view text);
