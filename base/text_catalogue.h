// The text catalogue as the portable core sees it: every visible text is
// entry LanguageOffset * 1000 + base id (offset 0 English, 12 Japanese).
// The base ids are in base/text_ids.h. The program answers from its string
// resources; tests from a table.
#pragma once

#include <string>

class TextCatalogue {
public:
    virtual ~TextCatalogue() = default;
    // The text of base id `id` in the current language; "" when absent.
    virtual std::wstring Text(int id) const = 0;
};
