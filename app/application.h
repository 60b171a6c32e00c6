// The application object: the one place where the tool is assembled. Its
// start-up finds the package beside the program, reads the package-wide
// settings, keeps a single instance per printer family, binds the
// communication libraries, and runs either the wizard or one silent
// command-line update. Windows only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/console_output_win32.h"
#include "app/stop_request_win32.h"
#include "app/update_outcome.h"
#include "base/files.h"
#include "base/history_files_win32.h"
#include "base/kernel_handle_win32.h"
#include "base/sleeper.h"
#include "device/library_binding.h"
#include "device/logged_libraries.h"
#include "device/usb_port_lock_win32.h"
#include "package/package_settings.h"
#include "package/package_signature.h"
#include "ui/language_page.h"
#include "ui/network_list_page.h"
#include "ui/port_page.h"
#include "ui/texts/resource_catalogue.h"
#include "ui/usb_list_page.h"
#include "ui/wizard_sheet.h"

class CTessaroFWDLApp : public PackageSettings {
public:
    CTessaroFWDLApp();
    ~CTessaroFWDLApp();

    // Runs the whole program; returns the process exit code: the wizard's 0,
    // or what a command-line run came to (app/update_outcome.h).
    int InitInstance();

    // Library file names, loaded from the program's folder.
    static const char* UsbLibraryName() { return kUsbLibraryName; }
    static const char* DeviceUtilityLibraryName() { return kDeviceUtilityLibraryName; }
    static const char* NetworkLibraryName() { return kNetworkLibraryName; }

    const LibraryTable& Libraries() const { return binding_.table(); }

    // The silent updates; notices go to callerWindow when there is one.
    int UpdateViaUsb(const std::wstring& printerName, HWND callerWindow);
    int UpdateViaNetwork(const std::wstring& address, HWND callerWindow);

private:
    // A batch of silent updates from a list file (app/application_batch_win32.cpp),
    // and the child process that updates one printer of it.
    int RunBatch(const CommandLineRequest& request, HWND callerWindow);
    int RunBatchChild(const CommandLineRequest& request);

    bool TakeInstanceMutex();
    // Checks the package's signature, then binds the libraries against
    // their pins; signature_ holds the verdict of both. Nothing is bound
    // for a refused package.
    void CheckPackageAndBind();
    // A refused package: the wizard's message box, or a silent update's
    // failure with its reason on the console.
    void RefusePackage(const CommandLineRequest& request, HWND callerWindow);
    void TellOfRefusedLibraries(const CommandLineRequest& request);
    void CreateWizard();
    void RunWizard();
    void DestroyWizard();
    template <typename Update>
    int RunSilentUpdate(UpdateRoad road, const std::wstring& printer, HWND callerWindow, Update update);
    // Opens this run's support log and the history; a run goes on without
    // them when they cannot be had. A batch's child keeps the older logs.
    void OpenRecords(bool batchPrinter);
    // Tells the console of a silent run that a record was not written.
    void TellRecordProblem(const std::optional<std::wstring>& why);

    KernelHandle InstanceMutex;
    std::wstring programPath_;
    ConsoleOutput console_;
    ConsoleBreak consoleBreak_;  // Ctrl+Break stops a silent run in order
    int exitCode_ = kExitCompleted;
    SignatureVerdict signature_;
    // A signed package's description and signature, held from the check to
    // the end of the run: nobody may write them while the program reads them.
    std::unique_ptr<InputFile> heldConfig_, heldSignature_;
    LibraryBinding binding_;
    PlatformClock clock_;
    // Every library call of the run goes through the support log.
    FileRunLog runLog_{clock_};
    BoundLibraries boundLibraries_{binding_.table()};
    LoggedLibraries libraries_{boundLibraries_, runLog_};
    std::wstring historyFolder_;   // empty when it cannot be had
    std::wstring historyProblem_;  // why, then
    std::unique_ptr<FolderHistoryStorage> historyStorage_;
    std::unique_ptr<StoredHistory> history_;
    SpoolerPortLocks portLocks_{libraries_};
    PlatformFiles files_;
    PlatformSleeper sleeper_;
    ResourceCatalogue texts_{GetModuleHandleW(nullptr), LanguageOffset};
    WizardServices services_{GetModuleHandleW(nullptr), *this, texts_, libraries_, portLocks_, files_, sleeper_};

    // The wizard's pages and sheet, created at start-up and destroyed at its end.
    std::unique_ptr<CLanguageSel> LanguagePage;
    std::unique_ptr<CPortSelection> PortPage;
    std::unique_ptr<CNetworkList> NetworkListPage;
    std::unique_ptr<CUSBList> UsbListPage;
    std::unique_ptr<CMyPropSheet> Sheet;
};

// The single application instance.
CTessaroFWDLApp& TheApp();

// The registered instance message: a second copy broadcasts it so that the
// running wizard comes to the front.
extern UINT g_instanceMessage;
