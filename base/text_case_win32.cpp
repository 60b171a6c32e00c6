#include <windows.h>

#include <climits>

#include "base/text.h"

bool EqualsOrdinalIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() > static_cast<std::size_t>(INT_MAX)) return a == b;
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}
