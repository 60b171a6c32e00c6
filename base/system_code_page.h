// The system's code page, through which the maker's libraries take names.
#pragma once

#include <string_view>

// Whether the text survives the conversion to the system's code page, which
// the maker's libraries use for names inside: true when every character has
// a byte form of its own (no best-fit substitute, no default character).
// Portable builds take Latin-1 as that code page.
bool FitsSystemCodePage(std::wstring_view text);
