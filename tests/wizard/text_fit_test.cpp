// No clipped text: every page, dialog and window of the wizard in both
// languages at 100, 150 and 200 % (96, 144 and 192 dots per inch). The probe
// library measures each text in its control's own font inside the program
// (text_fit_probe.h); a text that needs more room than its control has fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "registry_override.h"
#include "text_fit_probe.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

// Wine 8 takes the dots per inch of a new process from here.
constexpr wchar_t kDpiKey[] = L"Control Panel\\Desktop";
// The dialog fonts, mapped as in the pictures to a face that has the
// Japanese glyphs, so that both languages are measured as they are drawn.
constexpr wchar_t kFontReplacementsKey[] = L"Software\\Wine\\Fonts\\Replacements";
constexpr const wchar_t* kDialogFaces[] = {L"MS Shell Dlg", L"MS Shell Dlg 2", L"Tahoma", L"MS UI Gothic"};
constexpr wchar_t kJapaneseFace[] = L"Noto Sans CJK JP";

std::string Config() {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=1\nSysOIDCnt=1\nSysOID0=1.3.6.1.4.1.47131.1.1.7000\n"
           "Language=0\nFwCount=1\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\n"
           "[Granted]\nS0A*=1\n";
}

std::string Fleet() {
    return "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=E7300123\n"
           "Firmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=10/0/0\n"
           "[Net0]\nIPv4=192.0.2.10\nDeviceName=Korvane Laser 7000 (2nd floor)\n"
           "SysOID=1.3.6.1.4.1.47131.1.1.7000\nFirmware=1.00\nVariant=EU01\nStatus=10\n";
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring ReadReport(const std::wstring& path) {
    std::wstring text;
    FILE* in = _wfopen(path.c_str(), L"r, ccs=UTF-8");
    if (!in) return text;
    wchar_t line[2048];
    while (std::fgetws(line, 2048, in)) text += line;
    std::fclose(in);
    return text;
}

class TextFit : public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    void SetUp() override {
        dpi_ = std::get<0>(GetParam());
        japanese_ = std::get<1>(GetParam());
        const DWORD dpi = static_cast<DWORD>(dpi_);
        overrides_.emplace_back(std::make_unique<RegistryOverride>(kDpiKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi));
        for (const wchar_t* face : kDialogFaces)
            overrides_.emplace_back(std::make_unique<RegistryOverride>(
                kFontReplacementsKey, face, REG_SZ, kJapaneseFace, static_cast<DWORD>(sizeof kJapaneseFace)));
        run_ = std::make_unique<WizardRun>(Config(), Fleet());
        run_->AddFile("main.bin", FilePattern(300000, 1));
        ASSERT_TRUE(run_->Start());
        std::wstring probePath = FWDL_TEXT_FIT_PROBE_PATH;
        for (wchar_t& c : probePath)
            if (c == L'/') c = L'\\';
        probe_ = LoadLibraryW(probePath.c_str());
        ASSERT_TRUE(probe_) << "the probe library is missing";
        auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe_, text_fit::kHookProcName)));
        if (!hook) hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe_, "TextFitHook@12")));
        ASSERT_TRUE(hook);
        hook_ = SetWindowsHookExW(WH_GETMESSAGE, hook, probe_, GetWindowThreadProcessId(run_->Sheet(), nullptr));
        ASSERT_TRUE(hook_);
    }

    void TearDown() override {
        if (hook_) UnhookWindowsHookEx(hook_);
        run_.reset();
        if (probe_) FreeLibrary(probe_);
        overrides_.clear();
    }

    // Measures every text of the window (page, dialog) and reports those
    // that do not fit.
    void ExpectTextsFit(HWND window, const char* what) {
        SCOPED_TRACE(what);
        Sleep(300);  // let the page finish setting its texts
        const std::wstring path = text_fit::ProbeReportPath(run_->ProcessId());
        DeleteFileW(path.c_str());
        static const UINT probe = RegisterWindowMessageW(text_fit::kProbeMessageName);
        PostMessageW(window, probe, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }))
            << "the probe did not answer";
        const std::wstring report = ReadReport(path);
        DeleteFileW(path.c_str());
        // The whole report goes to the log, as UTF-8: the room each text has to spare.
        const std::string log = std::string("== ") + what + "\n" + Utf8(report);
        std::fwrite(log.data(), 1, log.size(), stdout);
        std::fflush(stdout);

        // The scale really is the one asked for.
        wchar_t face[64] = {};
        int dpi = 0;
        ASSERT_EQ(swscanf(report.c_str(), L"dpi\t%d\t%63l[^\t]", &dpi, face), 2);
        EXPECT_EQ(dpi, dpi_);
        int texts = 0;
        std::size_t start = report.find(L'\n') + 1;
        while (start < report.size()) {
            const std::size_t end = report.find(L'\n', start);
            const std::wstring line = report.substr(start, end - start);
            start = end == std::wstring::npos ? report.size() : end + 1;
            if (line.empty()) continue;
            ++texts;
            EXPECT_EQ(line.rfind(L"fits", 0), 0u) << "clipped: " << Utf8(line);
        }
        EXPECT_GT(texts, 0);
    }

    void ChooseLanguage() {
        HWND language = run_->WaitForPage(IDC_LANG_COMBO);
        ASSERT_TRUE(language);
        if (japanese_) {
            SelectComboItem(Control(language, IDC_LANG_COMBO), 1);
            ASSERT_TRUE(WaitUntil([&] { return WindowText(run_->Sheet()) == kJapaneseTitle; }));
        }
        ExpectTextsFit(run_->Sheet(), "language page");
    }

    int dpi_ = 96;
    bool japanese_ = false;
    std::vector<std::unique_ptr<RegistryOverride>> overrides_;
    std::unique_ptr<WizardRun> run_;
    HMODULE probe_ = nullptr;
    HHOOK hook_ = nullptr;
};

TEST_P(TextFit, EveryPageDialogAndWindowHasRoomForItsTexts) {
    ChooseLanguage();
    HWND sheet = run_->Sheet();

    ASSERT_TRUE(PressNextWhenEnabled(sheet));
    HWND port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    ExpectTextsFit(sheet, "port page");

    // The network road: its list page and the add dialog.
    ClickButton(Control(port, IDC_PORT_NETWORK));
    ASSERT_TRUE(WaitUntil([&] { return IsTicked(Control(port, IDC_PORT_NETWORK)); }));
    ASSERT_TRUE(PressNextWhenEnabled(sheet));
    HWND network = run_->WaitForPage(IDC_NET_LIST);
    ASSERT_TRUE(network);
    RemoteList netList(Control(network, IDC_NET_LIST));
    ASSERT_TRUE(WaitUntil([&] { return netList.Count() >= 1; }, std::chrono::seconds(30)));
    ExpectTextsFit(sheet, "network list page");

    Click(Control(network, IDC_NET_ADD));
    HWND add = WaitForDialogWith(run_->ProcessId(), {IDC_ADD_IPV6_ADDRESS, IDC_ADD_OK});
    ASSERT_TRUE(add);
    ExpectTextsFit(add, "add dialog");
    Click(Control(add, IDC_ADD_CANCEL));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(add); }));

    // The USB road: its list page and the progress window.
    PressBack(sheet);
    port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    ClickButton(Control(port, IDC_PORT_USB));
    ASSERT_TRUE(WaitUntil([&] { return IsTicked(Control(port, IDC_PORT_USB)); }));
    ASSERT_TRUE(PressNextWhenEnabled(sheet));
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    RemoteList usbList(Control(usb, IDC_USB_LIST));
    ASSERT_TRUE(WaitUntil([&] { return usbList.Count() == 1 && !usbList.Text(0, 0).empty(); }));
    ExpectTextsFit(sheet, "USB list page");

    usbList.SetTicked(0, true);
    ASSERT_TRUE(PressNextWhenEnabled(sheet));
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    ASSERT_TRUE(WaitUntil([&] { return !WindowText(Control(progress, IDC_PROGRESS_PRINTER)).empty(); }));
    ExpectTextsFit(progress, "progress window");
}

INSTANTIATE_TEST_SUITE_P(Scales, TextFit, ::testing::Combine(::testing::Values(96, 144, 192), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
                             return std::to_string(std::get<0>(info.param) * 100 / 96) + "Percent" +
                                    (std::get<1>(info.param) ? "Japanese" : "English");
                         });

}  // namespace
