#include <locale.h>
#include <wctype.h>

#include "base/text.h"

namespace {

// The C library's UTF-8 locale, made once and kept: the upper-case mapping
// must not depend on the process's current locale.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return made ? made : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

}  // namespace

bool EqualsOrdinalIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    const locale_t locale = Utf8Locale();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && towupper_l(static_cast<wint_t>(a[i]), locale) != towupper_l(static_cast<wint_t>(b[i]), locale))
            return false;
    return true;
}
