// The text catalogue read from the program's own string resources: text id
// = language offset * 1000 + base id. The offset is read at every lookup, so
// a language change on the first wizard page reaches every later lookup.
#pragma once

#include <windows.h>

#include <string>

#include "base/text_catalogue.h"

class ResourceCatalogue final : public TextCatalogue {
public:
    // `languageOffset` is the application's LanguageOffset (0 or 12); it must
    // outlive the catalogue. `module` holds the string resources.
    ResourceCatalogue(HINSTANCE module, const int& languageOffset);
    explicit ResourceCatalogue(const int& languageOffset);

    std::wstring Text(int id) const override;

    // Reads the text into `buffer`, cut to `capacity` characters including
    // the terminating zero; returns the characters written. An absent text
    // leaves "" and returns 0.
    int TextInto(int id, wchar_t* buffer, int capacity) const;

    // The text at a fixed id, whatever the language (the language box lists
    // each language in its own words).
    std::wstring TextAt(int textId) const;

private:
    long long TextId(int id) const { return m_languageOffset * 1000LL + id; }

    HINSTANCE m_module;
    const int& m_languageOffset;
};
