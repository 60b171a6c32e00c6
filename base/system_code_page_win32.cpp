#include <windows.h>

#include "base/system_code_page.h"

bool FitsSystemCodePage(std::wstring_view text) {
    if (text.empty()) return true;
    const int chars = static_cast<int>(text.size());
    // A system that runs on UTF-8 holds every character; that code page
    // takes neither the best-fit flag nor the default-character report.
    if (GetACP() == CP_UTF8)
        return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), chars, nullptr, 0, nullptr, nullptr) > 0;
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), chars, nullptr, 0, nullptr,
                                          &usedDefault);
    return bytes > 0 && !usedDefault;
}
