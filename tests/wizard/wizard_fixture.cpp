#include "wizard_fixture.h"

#include <chrono>
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "ui/texts/resource_ids.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path FreshFolder() {
    std::random_device random;
    for (;;) {
        fs::path folder = fs::temp_directory_path() / ("fwdl-wizard-" + std::to_string(random()));
        if (fs::create_directory(folder)) return folder;
    }
}

PROCESS_INFORMATION Launch(const fs::path& folder) {
    const std::wstring program = (folder / "TessaroFWDL.exe").wstring();
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    // The program's history and logs go to the run's folder, never to the
    // user's (the test prefix's known folder follows LOCALAPPDATA).
    SetEnvironmentVariableW(L"LOCALAPPDATA", (folder / "appdata").wstring().c_str());
    // Wine now and then fails to create a process when many start at once;
    // a program that never started has no outcome to judge, so it is
    // started again. A started program's outcome always stands.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.wstring().c_str(), &startup, &process))
            break;
        Sleep(500);
    }
    return process;
}

}  // namespace

std::string FilePattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>((k * 7 + seed) & 0xFF);
    return bytes;
}

std::string OneEntryConfig(int language) {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=0\nLanguage=" + std::to_string(language) +
           "\nFwCount=1\nVID=0A1B\nPID=00C2\n[Fw0]\nFileName=main.bin\n[Granted]\nS0A*=1\n";
}

const char kOneUsbPrinter[] =
    "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=A1\nFirmware=01.00.00\n"
    "Variant=JP01\nName=Tessaro 7000\nStatus=10\n";

WizardRun::WizardRun(const std::string& configuration, const std::string& scenario) : folder_(FreshFolder()) {
    fs::copy_file(FWDL_PROGRAM_PATH, folder_ / "TessaroFWDL.exe");
    for (const char* library : {FWDL_DU_LIBRARY_PATH, FWDL_USB_LIBRARY_PATH, FWDL_NET_LIBRARY_PATH})
        fs::copy_file(library, folder_ / fs::path(library).filename());
    Write(folder_ / "TessaroFWDL.cfg", configuration);
    Write(folder_ / "vorlensim.ini", scenario);
}

WizardRun::~WizardRun() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        } else {
            // The program ended on its own: every way out of it returns 0, so
            // any other code is a crash (an exception, abort, a failed check).
            DWORD code = 0;
            GetExitCodeProcess(process_.hProcess, &code);
            if (code != 0) ADD_FAILURE() << "the program ended abnormally, exit code 0x" << std::hex << code;
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void WizardRun::AddFile(const std::string& name, const std::string& bytes) const { Write(folder_ / name, bytes); }
void WizardRun::RemoveFile(const std::string& name) const { std::filesystem::remove(folder_ / name); }

std::string WizardRun::History() const {
    std::ifstream file(folder_ / "appdata" / "Tessaro" / "TessaroFWDL" / "history.jsonl", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool WizardRun::Launch() {
    process_ = ::Launch(folder_);
    return process_.hProcess != nullptr;
}

bool WizardRun::WaitForWizard() {
    return ui_driver::WaitUntil([&] {
        sheet_ = ui_driver::FindTopLevel(process_.dwProcessId, kEnglishTitle);
        if (!sheet_) sheet_ = ui_driver::FindTopLevel(process_.dwProcessId, kJapaneseTitle);
        return sheet_ != nullptr;
    });
}

DWORD WizardRun::RunSecondCopy() const {
    PROCESS_INFORMATION second = ::Launch(folder_);
    if (!second.hProcess) return ~DWORD{0};
    WaitForSingleObject(second.hProcess, 20000);
    DWORD code = ~DWORD{0};
    GetExitCodeProcess(second.hProcess, &code);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);
    return code;
}

bool WizardRun::WaitForExit(ui_driver::Milliseconds timeout) const {
    return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD WizardRun::ExitCode() const {
    DWORD code = ~DWORD{0};
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND WizardRun::Page(int controlId) const { return ui_driver::ActivePageWith(sheet_, controlId); }

HWND WizardRun::WaitForPage(int controlId) const {
    HWND page = nullptr;
    ui_driver::WaitUntil([&] { return (page = Page(controlId)) != nullptr; });
    return page;
}

HWND WizardRun::WaitForProgressWindow() const {
    return ui_driver::WaitForDialogWith(process_.dwProcessId, {IDC_PROGRESS_BAR, IDC_PROGRESS_PRINTER});
}

void WizardRun::Unplug(const std::string& id) const { Write(folder_ / (id + ".unplugged"), ""); }

std::string WizardRun::SentInTheWholeRun(std::initializer_list<std::string> printers) const {
    // In the sent state Finish ends the wizard; Cancel is hidden there.
    if (ui_driver::IsVisible(ui_driver::Control(sheet_, IDCANCEL)))
        ui_driver::PressCancel(sheet_);
    else
        ui_driver::PressFinish(sheet_);
    if (!WaitForExit(std::chrono::seconds(120))) return "the program did not end after Cancel";
    std::string sent;
    for (const std::string& printer : printers) {
        const std::size_t bytes = Received(printer).size();
        if (bytes > 0) sent += printer + " received " + std::to_string(bytes) + " bytes; ";
    }
    return sent;
}

std::vector<std::wstring> WizardRun::TitlesOf(HWND window) const {
    std::istringstream lines(ReadAll(folder_ / "title-changes.txt"));
    std::vector<std::wstring> titles;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos ||
            std::stoull(line.substr(0, space), nullptr, 16) != reinterpret_cast<UINT_PTR>(window))
            continue;
        const std::string title = line.substr(space + 1);
        std::wstring wide(title.size(), L'\0');
        wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, title.data(),
                                                                 static_cast<int>(title.size()), wide.data(),
                                                                 static_cast<int>(wide.size()))));
        titles.push_back(wide);
    }
    return titles;
}

std::string WizardRun::Received(const std::string& id) const { return ReadAll(folder_ / (id + ".bin")); }
std::string WizardRun::Transcript(const std::string& id) const { return ReadAll(folder_ / (id + ".log")); }
