// Sets keys in the text of an initialisation file, keeping everything else
// as it stands: comments, order, spacing, line ends and the bytes of other
// values. Names compare without regard to ASCII case, as the readers do.
#pragma once

#include <string>
#include <string_view>

// Sets `key` of `section` to `value` in `text`: the first line of that key
// in the section (in any of its blocks, as the first occurrence is the one
// read) gets the new value; otherwise a line is added after the last key of
// the section's first block, or a new section at the end.
void SetIniValue(std::string& text, std::string_view section, std::string_view key, std::string_view value);

// Removes the line of `key` in `section` that SetIniValue would set; the
// text stays as it is when there is none.
void RemoveIniValue(std::string& text, std::string_view section, std::string_view key);
