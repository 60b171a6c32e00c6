// A package folder with the real program, our stand-in libraries and a
// simulated fleet, and the program's wizard running in it. Windows only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui_driver.h"

// The content of a small package file: a pattern that differs per seed.
std::string FilePattern(std::size_t size, unsigned seed);

// A package of one entry, "main.bin", in `language` (its "Language" value),
// and the one USB printer of its family.
std::string OneEntryConfig(int language);
extern const char kOneUsbPrinter[];

class WizardRun {
public:
    // Stages the folder: TessaroFWDL.exe, the three libraries, the
    // configuration and the scenario.
    WizardRun(const std::string& configuration, const std::string& scenario);
    ~WizardRun();
    WizardRun(const WizardRun&) = delete;
    WizardRun& operator=(const WizardRun&) = delete;

    void AddFile(const std::string& name, const std::string& bytes) const;
    void RemoveFile(const std::string& name) const;
    // Starts the program without arguments and waits for its wizard.
    bool Start() { return Launch() && WaitForWizard(); }
    // Starts the program without arguments; what shows first is the test's.
    bool Launch();
    bool WaitForWizard();
    // Starts one more copy of the program in the same folder; returns its exit code.
    DWORD RunSecondCopy() const;
    // Waits for the program to end after Finish or Cancel.
    bool WaitForExit(ui_driver::Milliseconds timeout = ui_driver::kDefaultWait) const;
    // The program's exit code once it has ended.
    DWORD ExitCode() const;

    HWND Sheet() const { return sheet_; }
    const std::filesystem::path& Folder() const { return folder_; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    HWND Page(int controlId) const;
    // The page that holds `controlId` once it is the visible one.
    HWND WaitForPage(int controlId) const;
    // The progress window, once it shows.
    HWND WaitForProgressWindow() const;
    // Unplugs the simulated USB printer `id`: no enumeration lists it any more.
    void Unplug(const std::string& id) const;
    // Ends the wizard with Cancel, waits for the program to end, and then
    // looks at what `printers` received in the whole run: empty when nothing
    // was sent, else what was. A refused Next is judged this way, never at
    // once or after a pause: a transfer that starts later would be missed,
    // while the end of the run comes only after any transfer has ended.
    std::string SentInTheWholeRun(std::initializer_list<std::string> printers) const;
    // Every title `window` took while a TitleChanges recorder was installed.
    std::vector<std::wstring> TitlesOf(HWND window) const;
    // What the simulated printer `id` received, byte for byte.
    std::string Received(const std::string& id) const;
    std::string Transcript(const std::string& id) const;
    // The history file the run's program wrote, whole.
    std::string History() const;

private:
    std::filesystem::path folder_;
    PROCESS_INFORMATION process_ = {};
    HWND sheet_ = nullptr;
};

// The wizard's title in each language.
inline const std::wstring kEnglishTitle = L"Korvane Printer Firmware Update Tool";
inline const std::wstring kJapaneseTitle = L"\u30D5\u30A1\u30FC\u30E0\u30A6\u30A8\u30A2\u30FB\u30D0\u30FC\u30B8\u30E7\u30F3\u30A2\u30C3\u30D7\u30C4\u30FC\u30EB";
