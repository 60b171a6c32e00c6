#include "base/system_code_page.h"

bool FitsSystemCodePage(std::wstring_view text) {
    for (wchar_t c : text)
        if (static_cast<unsigned long>(c) > 0xFF) return false;
    return true;
}
