#include "ui/texts/resource_catalogue.h"

namespace {

// String resources are numbered in 16 bits; LoadStringW would quietly use the
// low word of a larger id and answer with an unrelated text.
bool IsStringId(long long textId) { return textId >= 0 && textId <= 0xFFFF; }

}  // namespace

ResourceCatalogue::ResourceCatalogue(HINSTANCE module, const int& languageOffset)
    : m_module(module), m_languageOffset(languageOffset) {}

ResourceCatalogue::ResourceCatalogue(const int& languageOffset)
    : ResourceCatalogue(GetModuleHandleW(nullptr), languageOffset) {}

std::wstring ResourceCatalogue::Text(int id) const {
    const long long textId = TextId(id);
    return IsStringId(textId) ? TextAt(static_cast<int>(textId)) : std::wstring();
}

std::wstring ResourceCatalogue::TextAt(int textId) const {
    if (!IsStringId(textId)) return {};
    // With no buffer LoadStringW hands out the resource's own characters,
    // which are not zero-terminated: the length comes with them.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(m_module, static_cast<UINT>(textId), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

int ResourceCatalogue::TextInto(int id, wchar_t* buffer, int capacity) const {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = L'\0';
    const long long textId = TextId(id);
    if (!IsStringId(textId)) return 0;
    return LoadStringW(m_module, static_cast<UINT>(textId), buffer, capacity);
}
