#include "app/application.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <vector>

#include "app/command_line.h"
#include "app/command_line_update.h"
#include "app/console_report.h"
#include "app/library_refusals.h"
#include "app/signature_policy.h"
#include "base/text.h"
#include "base/whole_text.h"
#include "package/signature_texts.h"
#include "transfer/update_record.h"
#include "ui/texts/resource_ids.h"

UINT g_instanceMessage = 0;

namespace {

constexpr UINT kCallerNotice = WM_USER + 1;

// The program's full path, read whole however long it is: a cut path would
// name another folder and another configuration file.
std::wstring ProgramFilePath() {
    return ReadWholeText([](wchar_t* buffer, std::size_t chars) -> std::size_t {
        return GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(chars));
    });
}

std::vector<std::wstring> ProgramArguments() {
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    if (!list) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

// Posts the notices of a silent update to the caller's window.
class WindowNotices final : public CallerNotices {
public:
    explicit WindowNotices(HWND window) : window_(window) {}
    void Post(int code, int value) override {
        PostMessageW(window_, kCallerNotice, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
    }

private:
    HWND window_;
};

}  // namespace

CTessaroFWDLApp::CTessaroFWDLApp() = default;
CTessaroFWDLApp::~CTessaroFWDLApp() = default;

CTessaroFWDLApp& TheApp() {
    static CTessaroFWDLApp app;
    return app;
}

int CTessaroFWDLApp::InitInstance() {
    programPath_ = ProgramFilePath();
    SetPathsFromProgramFile(*this, programPath_);
    ReadGeneralSettings(*this);

    // A batch's child runs under its parent's instance mutex: it must not
    // take the mutex, and it says nothing of its own.
    const CommandLineRequest request = ParseCommandLine(ProgramArguments());
    if (request.mode == CommandLineRequest::kBatchChild) {
        OpenRecords(true);
        return RunBatchChild(request);
    }

    // A command-line run tells a console or a redirected output what it does;
    // the wizard never looks for one.
    if (request.mode != CommandLineRequest::kRunWizard) {
        console_.Open();
        consoleBreak_.Listen();
    }
    const bool anotherCopyRuns = !TakeInstanceMutex();
    if (const std::optional<int> exitCode = ExitCodeWithoutUpdate(request, anotherCopyRuns)) {
        exitCode_ = *exitCode;
        if (exitCode_ != kExitCompleted) console_.WriteLine(NotStartedLine(exitCode_));
    }

    if (anotherCopyRuns) {
        // Another copy runs for this printer family: it brings its wizard to
        // the front when it sees the broadcast.
        PostMessageW(HWND_BROADCAST, g_instanceMessage, 0, 0);
        PostQuitMessage(0);
        return exitCode_;
    }
    OpenRecords(false);

    CreateWizard();
    CheckPackageAndBind();
    if (history_ && signature_.kind == SignatureVerdict::kTrusted) history_->SetPackageSigner(signature_.signerName);
    TellOfRefusedLibraries(request);

    const HWND caller = request.mode != CommandLineRequest::kRunWizard && request.hasCallerWindow
                            ? FindWindowW(request.windowClass.c_str(), request.windowTitle.c_str())
                            : nullptr;
    if (signature_.kind == SignatureVerdict::kRefused && request.mode != CommandLineRequest::kBatch) {
        RefusePackage(request, caller);
    } else if (request.mode == CommandLineRequest::kRunWizard) {
        LanguagePage->SetSignature(signature_);
        RunWizard();
    } else if (request.mode == CommandLineRequest::kUpdate) {
        if (caller) PostMessageW(caller, kCallerNotice, 0, 0);
        if (request.target == CommandLineRequest::kUsbPrinter)
            UpdateViaUsb(request.printer, caller);
        else if (request.target == CommandLineRequest::kNetworkPrinter)
            UpdateViaNetwork(request.printer, caller);
    } else if (request.mode == CommandLineRequest::kBatch) {
        // A refused package still gets its result file: every printer not started.
        exitCode_ = RunBatch(request, caller);
    }

    binding_.Unload();
    DestroyWizard();
    InstanceMutex.Reset();
    return exitCode_;
}

void CTessaroFWDLApp::CheckPackageAndBind() {
    // Held before the check, so that the bytes checked are the bytes the
    // run reads; an unsigned package is left as open to others as before.
    heldConfig_ = files_.OpenForReading(ConfigPath, FileSharing::ReadOnly);
    heldSignature_ = files_.OpenForReading(SignaturePathOf(ConfigPath), FileSharing::ReadOnly);
    const SignaturePolicy policy = ReadSignaturePolicy();
    signature_ = CheckPackageSignature(files_, *this, policy.trusted, policy.requireSigned);
    if (signature_.kind != SignatureVerdict::kTrusted) {
        heldConfig_.reset();
        heldSignature_.reset();
    } else if (!heldConfig_ || !heldSignature_) {
        // Another program had it open for writing: what it writes next
        // would not be what was checked.
        signature_ = SignatureVerdict{};
        signature_.kind = SignatureVerdict::kRefused;
        signature_.problem = SignatureProblem::kBadSignature;
        signature_.subject = ConfigPath;
        signature_.reason = L"The package description or its signature is open for writing in another program "
                            L"and cannot be held while it is used.";
    } else {
        // The settings read before the hold are read again from the checked bytes.
        ReadGeneralSettings(*this);
    }
    if (signature_.kind == SignatureVerdict::kRefused) return;
    binding_.Bind(files_, ModuleDir, this);
    if (binding_.pinRefusal()) signature_ = *binding_.pinRefusal();
}

// The wizard shows why in the package's language and ends without opening:
// it would have no printer to offer. A silent update fails as one whose
// files cannot be used (255, 2), saying why on its console.
void CTessaroFWDLApp::RefusePackage(const CommandLineRequest& request, HWND callerWindow) {
    if (request.mode == CommandLineRequest::kRunWizard) {
        ShowMessage(nullptr, texts_, IDS_CAPTION_ERROR, SignatureRefusalMessage(texts_, signature_), MB_ICONERROR);
        return;
    }
    if (request.mode != CommandLineRequest::kUpdate) return;
    if (request.target != CommandLineRequest::kUsbPrinter && request.target != CommandLineRequest::kNetworkPrinter)
        return;
    if (callerWindow) PostMessageW(callerWindow, kCallerNotice, 0, 0);
    const UpdateRoad road =
        request.target == CommandLineRequest::kUsbPrinter ? UpdateRoad::kUsb : UpdateRoad::kNetwork;
    RunSilentUpdate(road, request.printer, callerWindow, [&](FileOpener&, CallerNotices& notices) {
        notices.Problem(L"package refused: " + signature_.reason);
        notices.Post(kNoticeFailed, kReasonFileNotOpened);
        return -1;
    });
}

// Libraries of another architecture were not loaded: the wizard says so in a
// message box before it opens, a command-line update on its console (its
// notices and exit code are those of a missing library).
void CTessaroFWDLApp::TellOfRefusedLibraries(const CommandLineRequest& request) {
    const std::vector<LibraryRefusal>& refusals = binding_.refusals();
    if (refusals.empty()) return;
    if (request.mode == CommandLineRequest::kRunWizard) {
        ShowMessage(nullptr, texts_, IDS_CAPTION_ERROR, LibraryRefusalMessage(texts_, refusals), MB_ICONERROR);
    } else if (request.mode == CommandLineRequest::kUpdate || request.mode == CommandLineRequest::kBatch) {
        for (const LibraryRefusal& refusal : refusals) console_.WriteLine(LibraryRefusalLine(refusal));
    }
}

void CTessaroFWDLApp::OpenRecords(bool batchPrinter) {
    const std::optional<std::wstring> folder = UserHistoryFolder(historyProblem_);
    if (!folder) return;
    historyFolder_ = *folder;
    std::wstring ignored;  // a run without its log still updates and records
    std::optional<std::wstring> logPath;
    if (runLog_.Open(historyFolder_, batchPrinter, ignored)) logPath = runLog_.Path();
    runLog_.Line("command line: " + ToUtf8(GetCommandLineW()));
    historyStorage_ = std::make_unique<FolderHistoryStorage>(historyFolder_);
    history_ = std::make_unique<StoredHistory>(*historyStorage_, clock_, logPath);
    services_.history = history_.get();
}

void CTessaroFWDLApp::TellRecordProblem(const std::optional<std::wstring>& why) {
    if (why) console_.WriteLine(L"history not written: " + *why);
}

bool CTessaroFWDLApp::TakeInstanceMutex() {
    const std::wstring name = InstanceName(VID, PID);
    g_instanceMessage = RegisterWindowMessageW(name.c_str());
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    InstanceMutex.Reset(mutex);
    return mutex && !existed;
}

void CTessaroFWDLApp::CreateWizard() {
    LanguagePage = std::make_unique<CLanguageSel>(services_);
    PortPage = std::make_unique<CPortSelection>(services_);
    NetworkListPage = std::make_unique<CNetworkList>(services_);
    UsbListPage = std::make_unique<CUSBList>(services_);
    Sheet = std::make_unique<CMyPropSheet>(texts_, g_instanceMessage);
    Sheet->AddPage(*LanguagePage);
    Sheet->AddPage(*PortPage);
    Sheet->AddPage(*NetworkListPage);
    Sheet->AddPage(*UsbListPage);
    Sheet->m_pPortPage = PortPage.get();
    Sheet->m_pLanguagePage = LanguagePage.get();
    Sheet->m_pNetworkPage = NetworkListPage.get();
    Sheet->m_pUsbPage = UsbListPage.get();
}

void CTessaroFWDLApp::RunWizard() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    Sheet->RunModal(GetModuleHandleW(nullptr));
}

void CTessaroFWDLApp::DestroyWizard() {
    Sheet.reset();
    LanguagePage.reset();
    PortPage.reset();
    NetworkListPage.reset();
    UsbListPage.reset();
}

// Every notice of the update goes through one recorder to the caller's
// window and the console; the exit code follows from the recorded outcome.
// Ctrl+Break on the console stops the update through its file reads.
template <typename Update>
int CTessaroFWDLApp::RunSilentUpdate(UpdateRoad road, const std::wstring& printer, HWND callerWindow, Update update) {
    WindowNotices window(callerWindow);
    ConsoleReport console(console_, road, binding_.table());
    console.Start(printer);
    OutcomeRecorder recorder({callerWindow ? &window : nullptr, &console});
    StoppableFiles files(files_, consoleBreak_.Event(), [this] { console_.WriteLine(L"stopped: Ctrl+Break"); });
    const bool usb = road == UpdateRoad::kUsb;
    UpdateRecording recording(history_.get(), usb ? "usb" : "network", usb ? "usb" : "network", printer);
    const int result = update(files, recorder);
    exitCode_ = SilentUpdateExitCode(road, recorder.outcome(), binding_.table());

    HistoryRecord& record = recording.Record();
    const UpdateOutcome& outcome = recorder.outcome();
    record.outcome = outcome.notice == kNoticeDone ? "updated" : "failed";
    if (outcome.notice != kNoticeDone) {
        record.code = exitCode_;
        record.reason = outcome.problem.empty() ? FailureWords(exitCode_) : outcome.problem;
    }
    const std::vector<std::wstring> paths = ChosenFiles(*this, PlainEntryFiles(*this));
    TellRecordProblem(history_ ? recording.Finish(*this, files_, paths) : std::optional<std::wstring>(historyProblem_));
    if (outcome.notice != kNoticeDone && !runLog_.Path().empty())
        console_.WriteLine(L"support log: " + runLog_.Path());
    return result;
}

int CTessaroFWDLApp::UpdateViaUsb(const std::wstring& printerName, HWND callerWindow) {
    return RunSilentUpdate(UpdateRoad::kUsb, printerName, callerWindow, [&](FileOpener& files, CallerNotices& notices) {
        return ::UpdateViaUsb(*this, libraries_, files, printerName, &notices);
    });
}

int CTessaroFWDLApp::UpdateViaNetwork(const std::wstring& address, HWND callerWindow) {
    return RunSilentUpdate(UpdateRoad::kNetwork, address, callerWindow, [&](FileOpener& files, CallerNotices& notices) {
        return ::UpdateViaNetwork(*this, libraries_, files, address, &notices);
    });
}
