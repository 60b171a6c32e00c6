// The text catalogue and the dialog templates as the program carries them:
// string resources read back with LoadStringW, templates parsed from the
// resources and created as (hidden) windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/texts/resource_catalogue.h"
#include "ui/texts/resource_ids.h"

namespace {

constexpr int kJapanese = IDS_JAPANESE_BASE;

std::wstring LoadText(int textId) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(textId),
                                   reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

struct CatalogueText {
    int id;
    const wchar_t* text;
};

// The whole English catalogue, as shipped. Its ids are the catalogue's ids.
const CatalogueText kEnglish[] = {
    {IDS_LANGUAGE_NAME, L"English"},
    {IDS_MODEL_LABEL, L"Model:"},
    {IDS_COL_SERIAL_NO, L"Serial No."},
    {IDS_COL_PRINTER_NAME, L"Printer Name"},
    {IDS_COL_STATUS, L"Status"},
    {IDS_COL_IP_ADDRESS, L"IP Address"},
    {IDS_COL_PRINTER_FW, L"Printer F/W"},
    {IDS_SELECT_LANGUAGE, L"Please select the language"},
    {IDS_PORT_NETWORK, L"Network (Port9100)"},
    {IDS_PORT_USB, L"USB"},
    {IDS_PORT_NETWORK_NOTE,
     L"When updating Firmware via Network interface, do not print jobs or open the printer driver "
     L"properties until the update is completed."},
    {IDS_PORT_USB_NOTE,
     L"When updating Firmware via USB interface, do not print jobs or open the printer driver "
     L"properties until the update is completed."},
    {IDS_COMMUNITY_LABEL, L"Community:"},
    {IDS_REFRESH, L"&Refresh"},
    {IDS_ADD_BUTTON, L"&Add ..."},
    {IDS_COL_FILE_NAME, L"File Name"},
    {IDS_COL_FILE_SIZE, L"File Size"},
    {IDS_COL_RELEASE_DATE, L"Release Date"},
    {IDS_STATE_NOT_COMPLETE, L"Not complete"},
    {IDS_STATE_UPDATING, L"Updating"},
    {IDS_STATE_NOT_READY, L"Not Ready"},
    {IDS_STATE_COMPLETED, L"Completed"},
    {IDS_ADD_TITLE, L"Add"},
    {IDS_IPV4_ADDRESS, L"IPv4 Address"},
    {IDS_IPV6_ADDRESS, L"IPv6 Address"},
    {IDS_OK, L"&OK"},
    {IDS_CANCEL, L"&Cancel"},
    {IDS_LANGUAGE_GROUP, L"Language"},
    {IDS_PORT_GROUP, L"Select a port for updating"},
    {IDS_CAPTION_IP_CONFIRM, L"IP Address Confirmation"},
    {IDS_CAPTION_COMMUNITY, L"Confirm Community Name"},
    {IDS_SELECT_PRINTERS, L"Please select printers to update."},
    {IDS_SENT_ON_NEXT, L"Update data will be sent to the printer when you click Next."},
    {IDS_DATA_SENT, L"Update data has been sent."},
    {IDS_KEEP_POWER_ON,
     L"Do not switch off the power until the Ready indicator lights, or [Ready to print] is displayed."},
    {IDS_MODULE_NAME_LABEL, L"Module Name:"},
    {IDS_PROGRESS_TITLE, L"Downloading"},
    {IDS_SENDING, L"Sending Update data"},
    {IDS_PRINTER_LABEL, L"Printer:"},
    {IDS_WIZARD_TITLE, L"Korvane Printer Firmware Update Tool"},
    {IDS_CAPTION_ERROR, L"Error"},
    {IDS_MSG_OPEN_FILE, L"Unable to open the file: "},
    {IDS_MSG_DOWNLOAD_FAILED, L"Unable to download data to the printer:"},
    {IDS_MSG_UNIDENTIFIED, L"Unable to identify the machine with specified IP address."},
    {IDS_MSG_ALREADY_LISTED, L"The machine with specified IP address is already in the list."},
    {IDS_MSG_IP_INVALID, L"IP Address is invalid."},
    {IDS_MSG_COMMUNITY_INVALID,
     L"The characters used in the Community Name are invalid.\nOnly alphabets, numbers, \"-\" (hyphen) "
     L"and \"_\" (underscore) can be used."},
    {IDS_CAPTION_CANCEL_UPDATE, L"Cancel Updating"},
    {IDS_MSG_INTERRUPTED, L"Printer Update interrupted."},
    {IDS_MSG_ONE_PRINTER_ONLY, L"Please connect your computer to only one printer that you want to update."},
    {IDS_MSG_NOT_READY, L"Unable to update firmware while printer is not ready."},
    {IDS_MSG_SCOPE_ID, L"Specify a socpe ID when you specify a Link Local Address."},
    {IDS_CHECK_READY, L"Check that the printers are ready."},
    {IDS_MSG_FILE_DAMAGED, L"The firmware file does not match the package. Nothing was sent to the printer:"},
    {IDS_MSG_LIBRARY_ARCHITECTURE,
     L"This library of the package is built for another architecture than this program and cannot be used:"},
    {IDS_PROGRAM_ARCHITECTURE, L"This program:"},
    {IDS_ARCH_X86, L"32-bit (x86)"},
    {IDS_ARCH_X64, L"64-bit (x64)"},
    {IDS_ARCH_OTHER, L"machine type"},
    {IDS_MSG_LIBRARY_ADVICE, L"Use the build of the program that matches the package's libraries."},
    {IDS_STATE_OTHER_FIRMWARE, L"F/W differs"},
    // Signed packages.
    {IDS_PACKAGE_UNSIGNED, L"This package is not signed."},
    {IDS_SIGNED_BY, L"Signed by"},
    {IDS_SIGNED_AT, L"on"},
    {IDS_MSG_PACKAGE_REFUSED, L"This package cannot be used: its signature check failed. No printer was touched."},
    {IDS_REFUSED_UNSIGNED, L"The package is not signed, and this computer accepts signed packages only."},
    {IDS_REFUSED_UNREADABLE, L"The package's signature file cannot be read:"},
    {IDS_REFUSED_UNKNOWN_KEY, L"The package is signed with a key that this computer does not trust. Key id:"},
    {IDS_REFUSED_BAD_SIGNATURE, L"The signature does not match the package description:"},
    {IDS_REFUSED_FILE_CHANGED, L"This file differs from the one that was signed:"},
    {IDS_REFUSED_FILE_MISSING, L"This file of the signed package is missing:"},
    {IDS_REFUSED_FILE_UNSIGNED, L"This file is not covered by the package's signature:"},
    {IDS_MSG_REFUSED_ADVICE, L"Get the package again from its maker, or ask your administrator."},
};

// The Japanese texts whose wording is fixed; the others are checked for
// their house style below.
const CatalogueText kJapaneseFixed[] = {
    {IDS_LANGUAGE_NAME, L"日本語"},
    {IDS_REFRESH, L"表示を更新(&R)"},
    {IDS_CANCEL, L"キャンセル(&C)"},
    {IDS_WIZARD_TITLE, L"ファームウエア・バージョンアップツール"},
    {IDS_MSG_ONE_PRINTER_ONLY, L"お使いのコンピューターをバージョンアップしたいプリンターにだけ接続してください。"},
    {IDS_MSG_FILE_DAMAGED, L"ファームウエアファイルがパッケージの内容と一致しません。プリンターには何も送信していません："},
    {IDS_STATE_OTHER_FIRMWARE, L"F/W不一致"},
};

constexpr wchar_t kFullWidthHyphen = L'\xFF0D';

// Adds the number of one string block to the list at `param`.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<int>*>(param)->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The access key of a text: the character after a single "&", upper-cased;
// 0 when there is none.
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(std::towupper(text[i + 1]));
    }
    return 0;
}

size_t Count(const std::wstring& text, wchar_t c) {
    size_t n = 0;
    for (wchar_t t : text) n += t == c;
    return n;
}

}  // namespace

// ---- The catalogue --------------------------------------------------------

TEST(TextCatalogue, EnglishTextsAreExactlyAsShipped) {
    for (const auto& row : kEnglish) EXPECT_EQ(LoadText(row.id), row.text) << "text " << row.id;
}

TEST(TextCatalogue, EveryTextHasAJapaneseCounterpart) {
    for (const auto& row : kEnglish) {
        const std::wstring japanese = LoadText(kJapanese + row.id);
        EXPECT_FALSE(japanese.empty()) << "text " << kJapanese + row.id;
        // Only the port name reads the same in both languages.
        if (row.id != IDS_PORT_USB) {
            EXPECT_NE(japanese, row.text) << "text " << kJapanese + row.id;
        }
    }
}

TEST(TextCatalogue, FixedJapaneseTextsAreExact) {
    for (const auto& row : kJapaneseFixed)
        EXPECT_EQ(LoadText(kJapanese + row.id), row.text) << "text " << kJapanese + row.id;
}

TEST(TextCatalogue, HoldsNoTextsBeyondTheListedIds) {
    std::set<int> listed;
    for (const auto& row : kEnglish) {
        listed.insert(row.id);
        listed.insert(kJapanese + row.id);
    }
    // String resources come in blocks of 16: block b holds ids 16 (b - 1) to 16 b - 1.
    std::vector<int> blocks;
    EnumResourceNamesW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(6) /* RT_STRING */, CollectBlock,
                       reinterpret_cast<LONG_PTR>(&blocks));
    ASSERT_FALSE(blocks.empty());
    std::set<int> present;
    for (int block : blocks)
        for (int id = (block - 1) * 16; id < block * 16; ++id)
            if (!LoadText(id).empty()) present.insert(id);
    EXPECT_EQ(present, listed);
}

TEST(TextCatalogue, AccessKeysAndLineBreaksMatchAcrossLanguages) {
    for (const auto& row : kEnglish) {
        const std::wstring english = row.text;
        const std::wstring japanese = LoadText(kJapanese + row.id);
        const wchar_t key = AccessKey(english);
        if (key) {
            // Japanese keys follow the text in parentheses.
            EXPECT_NE(japanese.find(std::wstring(L"(&") + key + L")"), std::wstring::npos)
                << "text " << kJapanese + row.id;
        } else {
            EXPECT_EQ(Count(japanese, L'&'), 0u) << "text " << kJapanese + row.id;
        }
        for (const std::wstring* text : {&english, &japanese}) {
            EXPECT_EQ(Count(*text, L'\t'), 0u);
            EXPECT_EQ(Count(*text, L'\r'), 0u);
            EXPECT_EQ(text->find(L"\\n"), std::wstring::npos) << "an escape left in the text";
        }
    }
    // The community message is shown on two lines in both languages.
    EXPECT_EQ(Count(LoadText(IDS_MSG_COMMUNITY_INVALID), L'\n'), 1u);
    EXPECT_EQ(Count(LoadText(kJapanese + IDS_MSG_COMMUNITY_INVALID), L'\n'), 1u);
    // Of the port notes, only the Japanese network note breaks its line.
    EXPECT_EQ(Count(LoadText(kJapanese + IDS_PORT_NETWORK_NOTE), L'\n'), 1u);
    EXPECT_EQ(Count(LoadText(kJapanese + IDS_PORT_USB_NOTE), L'\n'), 0u);
    for (int id : {IDS_MODEL_LABEL, IDS_PORT_NETWORK, IDS_PORT_USB, IDS_PORT_USB_NOTE,
                   IDS_COMMUNITY_LABEL, IDS_REFRESH, IDS_ADD_BUTTON, IDS_IPV4_ADDRESS, IDS_IPV6_ADDRESS,
                   IDS_SELECT_LANGUAGE, IDS_PORT_GROUP, IDS_MODULE_NAME_LABEL})
        EXPECT_EQ(Count(LoadText(kJapanese + id), L'\n'), 0u) << "text " << kJapanese + id;
}

TEST(TextCatalogue, JapaneseNotesWriteTheLongVowelAsFullWidthHyphen) {
    for (int id : {IDS_PORT_NETWORK_NOTE, IDS_PORT_USB_NOTE, IDS_SENT_ON_NEXT}) {
        const std::wstring text = LoadText(kJapanese + id);
        EXPECT_GT(Count(text, kFullWidthHyphen), 0u) << "text " << kJapanese + id;
        EXPECT_EQ(Count(text, L'\x30FC'), 0u) << "text " << kJapanese + id << " mixes both marks";
    }
    // Elsewhere the ordinary long-vowel mark, as in the title.
    for (const auto& row : kEnglish) {
        if (row.id == IDS_PORT_NETWORK_NOTE || row.id == IDS_PORT_USB_NOTE || row.id == IDS_SENT_ON_NEXT) continue;
        EXPECT_EQ(Count(LoadText(kJapanese + row.id), kFullWidthHyphen), 0u) << "text " << kJapanese + row.id;
    }
}

TEST(TextCatalogue, TextsFitTheBuffersTheyAreReadInto) {
    struct Limit {
        int id;
        size_t capacity;  // characters, terminating zero included
    };
    // The list pages read their captions and, while a USB list is built, the
    // state texts into 64 characters; the network list's "Error" into 32.
    const Limit limits[] = {
        {IDS_CAPTION_ERROR, 32},      {IDS_CAPTION_COMMUNITY, 64}, {IDS_STATE_NOT_COMPLETE, 64},
        {IDS_STATE_UPDATING, 64},     {IDS_STATE_NOT_READY, 64},   {IDS_STATE_COMPLETED, 64},
        {IDS_STATE_OTHER_FIRMWARE, 64},
    };
    for (const auto& limit : limits)
        for (int offset : {0, kJapanese}) EXPECT_LT(LoadText(offset + limit.id).size(), limit.capacity) << offset + limit.id;
    for (const auto& row : kEnglish)
        for (int offset : {0, kJapanese}) EXPECT_LE(LoadText(offset + row.id).size(), 132u) << offset + row.id;
    // The list pages' first line joins two texts.
    for (int offset : {0, kJapanese})
        EXPECT_LT(LoadText(offset + IDS_SELECT_PRINTERS).size() + 1 + LoadText(offset + IDS_CHECK_READY).size(), 256u);
}

// ---- The catalogue reader -------------------------------------------------

TEST(ResourceCatalogue, FollowsTheLanguageOffsetAsItChanges) {
    int languageOffset = 0;
    const ResourceCatalogue catalogue(languageOffset);
    EXPECT_EQ(catalogue.Text(IDS_STATE_UPDATING), L"Updating");
    EXPECT_EQ(catalogue.Text(IDS_MSG_COMMUNITY_INVALID), LoadText(IDS_MSG_COMMUNITY_INVALID));

    languageOffset = 12;  // the language box switched to Japanese
    EXPECT_EQ(catalogue.Text(IDS_STATE_UPDATING), LoadText(12121));
    EXPECT_EQ(catalogue.Text(IDS_WIZARD_TITLE), L"ファームウエア・バージョンアップツール");
    // The language box's entries are read at fixed ids in either language.
    EXPECT_EQ(catalogue.TextAt(IDS_LANGUAGE_NAME), L"English");
    EXPECT_EQ(catalogue.TextAt(kJapanese + IDS_LANGUAGE_NAME), L"日本語");

    languageOffset = 0;
    EXPECT_EQ(catalogue.Text(IDS_WIZARD_TITLE), L"Korvane Printer Firmware Update Tool");
}

TEST(ResourceCatalogue, CutsATextToTheCallersBuffer) {
    int languageOffset = 0;
    const ResourceCatalogue catalogue(languageOffset);
    wchar_t buffer[8];
    EXPECT_EQ(catalogue.TextInto(IDS_MSG_NOT_READY, buffer, 8), 7);
    EXPECT_STREQ(buffer, L"Unable ");
    wchar_t whole[256];
    EXPECT_EQ(catalogue.TextInto(IDS_CAPTION_ERROR, whole, 256), 5);
    EXPECT_STREQ(whole, L"Error");
    languageOffset = 12;
    EXPECT_EQ(catalogue.TextInto(IDS_CANCEL, whole, 256), 9);
    EXPECT_STREQ(whole, L"キャンセル(&C)");
    EXPECT_EQ(catalogue.TextInto(IDS_CANCEL, nullptr, 256), 0);
    EXPECT_EQ(catalogue.TextInto(IDS_CANCEL, whole, 0), 0);
}

TEST(ResourceCatalogue, AbsentTextsReadAsEmpty) {
    struct Case {
        int offset;
        int id;
    };
    // 116 is no catalogue id; offsets other than 0 and 12 lead outside the
    // catalogue, some beyond the 16-bit range of string ids, where a careless
    // lookup would wrap round to an unrelated text.
    const Case cases[] = {{0, 116}, {12, 116}, {1, IDS_LANGUAGE_NAME}, {65, IDS_CAPTION_ERROR},
                          {66, 1}, {-1, IDS_LANGUAGE_NAME}, {2147483, 647}};
    for (const auto& c : cases) {
        int languageOffset = c.offset;
        const ResourceCatalogue catalogue(languageOffset);
        EXPECT_EQ(catalogue.Text(c.id), L"") << c.offset << " " << c.id;
        wchar_t buffer[16] = L"untouched";
        EXPECT_EQ(catalogue.TextInto(c.id, buffer, 16), 0);
        EXPECT_STREQ(buffer, L"");
    }
    int english = 0;
    EXPECT_EQ(ResourceCatalogue(english).TextAt(70000), L"");
}

// ---- The dialog templates -------------------------------------------------

namespace {

struct TemplateItem {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
    DWORD style = 0;
    int cx = 0, cy = 0;
    int pointSize = 0;
    std::wstring font;
    std::map<int, TemplateItem> items;
    int itemCount = 0;
};

// Reads an extended dialog template as the resource holds it; false when it
// is missing, not extended, or cut short.
bool ReadTemplate(int dialogId, DialogTemplate& dialog) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(dialogId), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found) return false;
    const auto* begin = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    if (!begin) return false;
    const BYTE* const end = begin + SizeofResource(module, found);
    const BYTE* p = begin;
    auto word = [&](WORD& value) {
        if (end - p < 2) return false;
        std::memcpy(&value, p, 2);
        p += 2;
        return true;
    };
    auto dword = [&](DWORD& value) {
        if (end - p < 4) return false;
        std::memcpy(&value, p, 4);
        p += 4;
        return true;
    };
    auto text = [&](std::wstring* out) {  // a string, or 0xFFFF and an ordinal
        WORD c = 0;
        if (!word(c)) return false;
        if (c == 0xFFFF) return word(c);
        while (c) {
            if (out) out->push_back(static_cast<wchar_t>(c));
            if (!word(c)) return false;
        }
        return true;
    };
    auto alignTo4 = [&] { p = begin + ((p - begin + 3) & ~3); };

    WORD version = 0, signature = 0, count = 0, x = 0, y = 0, cx = 0, cy = 0;
    DWORD helpId = 0, exStyle = 0;
    if (!word(version) || !word(signature) || version != 1 || signature != 0xFFFF) return false;
    if (!dword(helpId) || !dword(exStyle) || !dword(dialog.style) || !word(count)) return false;
    if (!word(x) || !word(y) || !word(cx) || !word(cy)) return false;
    dialog.cx = static_cast<SHORT>(cx);
    dialog.cy = static_cast<SHORT>(cy);
    dialog.itemCount = count;
    if (!text(nullptr) || !text(nullptr) || !text(nullptr)) return false;  // menu, class, caption
    if (dialog.style & DS_SETFONT) {
        WORD pointSize = 0, weight = 0, italicAndCharset = 0;
        if (!word(pointSize) || !word(weight) || !word(italicAndCharset) || !text(&dialog.font)) return false;
        dialog.pointSize = pointSize;
    }
    for (int i = 0; i < count; ++i) {
        alignTo4();
        TemplateItem item;
        DWORD id = 0;
        WORD extra = 0;
        if (!dword(helpId) || !dword(exStyle) || !dword(item.style)) return false;
        if (!word(x) || !word(y) || !word(cx) || !word(cy) || !dword(id)) return false;
        item.x = static_cast<SHORT>(x);
        item.y = static_cast<SHORT>(y);
        item.cx = static_cast<SHORT>(cx);
        item.cy = static_cast<SHORT>(cy);
        if (!text(nullptr) || !text(nullptr) || !word(extra) || end - p < extra) return false;  // class, text
        p += extra;
        dialog.items[static_cast<int>(id)] = item;
    }
    return true;
}

struct ExpectedControl {
    int id;
    const wchar_t* windowClass;
    int x, y, cx, cy;
    DWORD styleMask;  // (style & styleMask) must equal styleValue
    DWORD styleValue;
};

struct ExpectedDialog {
    int id;
    int cx, cy;
    DWORD styles;  // all must be set
    std::vector<ExpectedControl> controls;
    std::vector<int> runtimeTexts;  // catalogue texts the window shows
};

constexpr DWORD kPage = WS_CHILD | WS_DISABLED | WS_CAPTION;
constexpr int kWizardBack = 12323;  // the wizard frame's own buttons
constexpr int kWizardNext = 12324;
constexpr DWORD kButtonType = BS_TYPEMASK;
constexpr DWORD kStaticType = SS_TYPEMASK;

const std::vector<ExpectedDialog>& Dialogs() {
    static const std::vector<ExpectedDialog> dialogs = {
        {IDD_LANGUAGE_PAGE, 320, 156, kPage,
         {
             {IDC_LANG_MODEL_LABEL, L"Static", 7, 7, 40, 8, kStaticType, SS_LEFT},
             {IDC_LANG_MODEL_NAME, L"Static", 69, 7, 244, 8, kStaticType | SS_NOPREFIX, SS_LEFT | SS_NOPREFIX},
             {IDC_LANG_GROUP, L"Button", 7, 21, 306, 28, kButtonType, BS_GROUPBOX},
             {IDC_LANG_COMBO, L"ComboBox", 18, 33, 75, 109, 3 | WS_VSCROLL | WS_TABSTOP,
              CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
             {IDC_LANG_HINT, L"Static", 100, 35, 105, 8, kStaticType, SS_LEFT},
             {IDC_LANG_PACKAGE_LIST, L"SysListView32", 7, 57, 306, 76, LVS_TYPEMASK | WS_BORDER,
              LVS_REPORT | WS_BORDER},
             {IDC_LANG_ADD, L"Button", 7, 135, 50, 14, kButtonType | WS_VISIBLE, BS_PUSHBUTTON},
             {IDC_LANG_DELETE, L"Button", 68, 135, 50, 14, kButtonType | WS_VISIBLE, BS_PUSHBUTTON},
             {IDC_LANG_SIGNATURE, L"Static", 7, 139, 306, 8, kStaticType | SS_NOPREFIX | SS_ENDELLIPSIS,
              SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS},
         },
         {IDS_MODEL_LABEL, IDS_SELECT_LANGUAGE, IDS_LANGUAGE_GROUP, IDS_PACKAGE_UNSIGNED, IDS_SIGNED_BY, IDS_SIGNED_AT}},
        {IDD_PORT_PAGE, 320, 156, kPage,
         {
             {IDC_PORT_GROUP, L"Button", 7, 7, 306, 124, kButtonType | WS_GROUP, BS_GROUPBOX | WS_GROUP},
             {IDC_PORT_NETWORK, L"Button", 17, 21, 112, 10, kButtonType | WS_TABSTOP | WS_GROUP,
              BS_AUTORADIOBUTTON | WS_TABSTOP},
             {IDC_PORT_USB, L"Button", 17, 72, 158, 10, kButtonType | WS_GROUP, BS_AUTORADIOBUTTON},
             {IDC_PORT_NETWORK_NOTE, L"Static", 31, 32, 274, 33, kStaticType | WS_GROUP, SS_LEFT | WS_GROUP},
             {IDC_PORT_USB_NOTE, L"Static", 31, 83, 275, 34, kStaticType, SS_LEFT},
         },
         {IDS_PORT_GROUP, IDS_PORT_NETWORK, IDS_PORT_USB, IDS_PORT_NETWORK_NOTE, IDS_PORT_USB_NOTE}},
        {IDD_NETWORK_PAGE, 320, 156, kPage,
         {
             {IDC_NET_LINE1, L"Static", 7, 7, 306, 8, kStaticType, SS_LEFT},
             {IDC_NET_LINE2, L"Static", 7, 19, 306, 21, kStaticType, SS_LEFT},
             {IDC_NET_MODULE_LABEL, L"Static", 7, 47, 73, 8, kStaticType, SS_LEFT},
             {IDC_NET_MODULE_NAME, L"Edit", 83, 42, 160, 14, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER,
              ES_READONLY | ES_AUTOHSCROLL | WS_BORDER},
             {IDC_NET_LIST, L"SysListView32", 7, 61, 306, 65, LVS_TYPEMASK | WS_BORDER | WS_TABSTOP,
              LVS_REPORT | WS_BORDER | WS_TABSTOP},
             {IDC_NET_COMMUNITY_LABEL, L"Static", 7, 132, 74, 8, kStaticType, SS_RIGHT},
             {IDC_NET_COMMUNITY, L"Edit", 85, 130, 72, 14, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
              ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
             {IDC_NET_REFRESH, L"Button", 162, 130, 58, 14, kButtonType | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
             {IDC_NET_ADD, L"Button", 229, 130, 57, 14, kButtonType | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
         },
         {IDS_SELECT_PRINTERS, IDS_CHECK_READY, IDS_SENT_ON_NEXT, IDS_DATA_SENT, IDS_KEEP_POWER_ON,
          IDS_MODULE_NAME_LABEL, IDS_COMMUNITY_LABEL, IDS_REFRESH, IDS_ADD_BUTTON}},
        {IDD_USB_PAGE, 320, 156, kPage,
         {
             {IDC_USB_LINE1, L"Static", 7, 7, 306, 8, kStaticType, SS_LEFT},
             {IDC_USB_LINE2, L"Static", 7, 21, 306, 18, kStaticType, SS_LEFT},
             {IDC_USB_MODULE_LABEL, L"Static", 7, 48, 75, 8, kStaticType, SS_LEFT},
             {IDC_USB_MODULE_NAME, L"Edit", 83, 43, 159, 14, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER,
              ES_READONLY | ES_AUTOHSCROLL | WS_BORDER},
             {IDC_USB_LIST, L"SysListView32", 7, 61, 306, 65, LVS_TYPEMASK | WS_BORDER | WS_TABSTOP,
              LVS_REPORT | WS_BORDER | WS_TABSTOP},
             {IDC_USB_REFRESH, L"Button", 126, 129, 66, 14, kButtonType | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
         },
         {IDS_SELECT_PRINTERS, IDS_CHECK_READY, IDS_SENT_ON_NEXT, IDS_DATA_SENT, IDS_KEEP_POWER_ON,
          IDS_MODULE_NAME_LABEL, IDS_REFRESH}},
        {IDD_ADD_PRINTER, 237, 90, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
         {
             {IDC_ADD_IPV6, L"Button", 7, 16, 59, 10, kButtonType | WS_GROUP, BS_AUTORADIOBUTTON | WS_GROUP},
             {IDC_ADD_IPV6_ADDRESS, L"Edit", 74, 14, 156, 15, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
              ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
             {IDC_ADD_IPV4, L"Button", 7, 41, 59, 10, kButtonType | WS_GROUP, BS_AUTORADIOBUTTON},
             {IDC_ADD_IPV4_ADDRESS, L"SysIPAddress32", 74, 39, 100, 15, WS_TABSTOP, WS_TABSTOP},
             {IDC_ADD_OK, L"Button", 58, 69, 58, 14, kButtonType | WS_GROUP, BS_DEFPUSHBUTTON | WS_GROUP},
             {IDC_ADD_CANCEL, L"Button", 121, 69, 59, 14, kButtonType | WS_GROUP, BS_PUSHBUTTON},
         },
         {IDS_ADD_TITLE, IDS_IPV6_ADDRESS, IDS_IPV4_ADDRESS, IDS_OK, IDS_CANCEL}},
        {IDD_PROGRESS, 186, 90, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND,
         {
             {IDC_PROGRESS_STATUS, L"Static", 7, 15, 172, 8, kStaticType, SS_CENTER},
             {IDC_PROGRESS_PRINTER, L"Static", 7, 32, 172, 8, kStaticType | SS_NOPREFIX, SS_CENTER | SS_NOPREFIX},
             {IDC_PROGRESS_BAR, L"msctls_progress32", 7, 50, 172, 11, WS_BORDER, WS_BORDER},
             {IDC_PROGRESS_CANCEL, L"Button", 62, 69, 56, 14, kButtonType, BS_PUSHBUTTON},
         },
         {IDS_PROGRESS_TITLE, IDS_SENDING, IDS_CANCEL, IDS_PRINTER_LABEL}},
    };
    return dialogs;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class DialogTemplates : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES |
                                                   ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
    }

    void SetUp() override {
        // Stands in for the wizard frame that hosts the pages.
        m_host = CreateWindowExW(0, L"Static", L"host", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_host, nullptr);
    }
    void TearDown() override {
        if (m_host) DestroyWindow(m_host);
    }

    HWND Create(const ExpectedDialog& dialog) const {
        return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog.id), m_host, QuietDialogProc, 0);
    }

    HWND m_host = nullptr;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

}  // namespace

TEST_F(DialogTemplates, TemplatesGiveSizeFontAndStyle) {
    for (const auto& dialog : Dialogs()) {
        SCOPED_TRACE(dialog.id);
        DialogTemplate parsed;
        ASSERT_TRUE(ReadTemplate(dialog.id, parsed));
        EXPECT_EQ(parsed.cx, dialog.cx);
        EXPECT_EQ(parsed.cy, dialog.cy);
        EXPECT_EQ(parsed.style & dialog.styles, dialog.styles);
        // Pages are children of the sheet, the two windows popups.
        EXPECT_EQ((parsed.style & WS_CHILD) != 0, dialog.styles == kPage);
        EXPECT_EQ((parsed.style & WS_POPUP) != 0, dialog.styles != kPage);
        EXPECT_EQ(parsed.style & WS_VISIBLE, 0u) << "shown by its owner, not at creation";
        EXPECT_EQ(parsed.pointSize, 8);
        EXPECT_EQ(parsed.font, L"MS Shell Dlg");
        EXPECT_EQ(parsed.itemCount, static_cast<int>(dialog.controls.size())) << "controls beyond the stated ones";
        for (const auto& control : dialog.controls) {
            SCOPED_TRACE(control.id);
            const auto item = parsed.items.find(control.id);
            ASSERT_NE(item, parsed.items.end());
            EXPECT_EQ(item->second.style & control.styleMask, control.styleValue) << std::hex << item->second.style;
            EXPECT_EQ(item->second.x, control.x);
            EXPECT_EQ(item->second.y, control.y);
            EXPECT_EQ(item->second.cx, control.cx);
            EXPECT_EQ(item->second.cy, control.cy);
        }
    }
}

TEST_F(DialogTemplates, WindowsCreateTheStatedKindsOfControl) {
    for (const auto& dialog : Dialogs()) {
        SCOPED_TRACE(dialog.id);
        HWND window = Create(dialog);
        ASSERT_NE(window, nullptr) << "error " << GetLastError();
        for (const auto& control : dialog.controls) {
            SCOPED_TRACE(control.id);
            HWND item = GetDlgItem(window, control.id);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(_wcsicmp(ClassOf(item).c_str(), control.windowClass), 0) << ClassOf(item).c_str();
        }
        DestroyWindow(window);
    }
}

TEST_F(DialogTemplates, NoTwoControlsShareAnAccessKey) {
    for (const auto& dialog : Dialogs()) {
        SCOPED_TRACE(dialog.id);
        // The placeholders of the template...
        HWND window = Create(dialog);
        ASSERT_NE(window, nullptr);
        std::map<wchar_t, int> owner;
        for (const auto& control : dialog.controls) {
            const wchar_t key = AccessKey(TextOf(GetDlgItem(window, control.id)));
            if (!key) continue;
            EXPECT_TRUE(owner.emplace(key, control.id).second)
                << "controls " << owner[key] << " and " << control.id << " both use &" << static_cast<char>(key);
        }
        DestroyWindow(window);
        // ...and the catalogue texts that replace them, in each language. A
        // page shares its keys with the wizard frame's Back and Next, which
        // take B and N in both languages.
        for (int offset : {0, kJapanese}) {
            std::map<wchar_t, int> text;
            if (dialog.styles == kPage) text = {{L'B', kWizardBack}, {L'N', kWizardNext}};
            for (int id : dialog.runtimeTexts) {
                const wchar_t key = AccessKey(LoadText(offset + id));
                if (!key) continue;
                EXPECT_TRUE(text.emplace(key, offset + id).second)
                    << "texts " << text[key] << " and " << offset + id << " both use &" << static_cast<char>(key);
            }
        }
    }
}
