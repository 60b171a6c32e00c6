#include "ui/wizard_services.h"

void ShowMessage(HWND owner, const TextCatalogue& texts, int captionId, const std::wstring& text, UINT icon) {
    MessageBoxW(owner, text.c_str(), texts.Text(captionId).c_str(), MB_OK | icon);
}
