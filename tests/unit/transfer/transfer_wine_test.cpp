// Both jobs end to end on Windows: a real worker thread, a real window whose
// message loop runs on the test thread and takes the job's window calls as
// sent messages, and the stand-in printer libraries loaded by file name from
// a package folder. Waits run in virtual time.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "device/library_binding.h"
#include "package/package_model.h"
#include "test_support.h"
#include "transfer/network_transfer.h"
#include "transfer/usb_transfer.h"
#include "transfer_fakes.h"

namespace {

// The job's window calls, as messages to the test window.
enum : UINT {
    kSetPrinterLine = WM_APP + 1,  // lParam: const std::wstring*
    kSetBar,                       // wParam: position
    kGetBar,                       // result: position
    kEnableCancel,                 // wParam: 1 or 0
    kShowError,                    // lParam: const std::wstring*
};

// Stands in for the progress window: a plain window that is never shown. It records what the job asked, and can press Cancel as a user would
// once the bar has moved.
class TestProgressWindow final : public TransferWindow {
public:
    TestProgressWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &TestProgressWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass);  // fails harmlessly when already registered
        // Message-only: it takes messages like any window but needs no desktop.
        window_ = CreateWindowExW(0, kClassName, L"Downloading", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), this);
    }
    ~TestProgressWindow() override {
        if (window_) DestroyWindow(window_);
    }
    TestProgressWindow(const TestProgressWindow&) = delete;
    TestProgressWindow& operator=(const TestProgressWindow&) = delete;

    bool IsOpen() const { return window_ != nullptr; }

    // Worker side: every call waits until the window has taken it.
    void SetPrinterLine(const std::wstring& text) override {
        SendMessageW(window_, kSetPrinterLine, 0, reinterpret_cast<LPARAM>(&text));
    }
    void SetBarPosition(int position) override { SendMessageW(window_, kSetBar, WPARAM(position), 0); }
    int BarPosition() override { return static_cast<int>(SendMessageW(window_, kGetBar, 0, 0)); }
    void EnableCancel(bool enable) override { SendMessageW(window_, kEnableCancel, enable ? 1 : 0, 0); }
    void ShowError(const std::wstring& text) override {
        SendMessageW(window_, kShowError, 0, reinterpret_cast<LPARAM>(&text));
    }

    // Interface side: runs the message loop until the job is done, polling
    // as the progress window does. False when it did not end in time.
    bool RunUntilDone(const TransferJob& job) {
        constexpr UINT_PTR kPollTimer = 1;
        SetTimer(window_, kPollTimer, 20, nullptr);
        const ULONGLONG deadline = GetTickCount64() + 60000;
        MSG message;
        while (job.done.load() == 0 && GetTickCount64() < deadline && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        KillTimer(window_, kPollTimer);
        return job.done.load() == 1;
    }

    TransferJob* cancelJob = nullptr;  // pressed Cancel here once the bar moved
    std::vector<std::wstring> printerLines;
    std::vector<int> bars;
    std::vector<bool> cancelStates;
    std::vector<std::wstring> errors;
    DWORD handlerThread = 0;

private:
    static constexpr wchar_t kClassName[] = L"FwdlTestProgressWindow";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message >= kSetPrinterLine && message <= kShowError) return self->Handle(message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        handlerThread = GetCurrentThreadId();
        switch (message) {
            case kSetPrinterLine: printerLines.push_back(*reinterpret_cast<const std::wstring*>(lParam)); return 0;
            case kSetBar:
                bars.push_back(static_cast<int>(wParam));
                // The Cancel button takes effect below 95 only.
                if (cancelJob && wParam > 0 && wParam < 95) cancelJob->abortReason.store(kAbortByUser);
                return 0;
            case kGetBar: return bars.empty() ? 0 : bars.back();
            case kEnableCancel: cancelStates.push_back(wParam != 0); return 0;
            case kShowError: errors.push_back(*reinterpret_cast<const std::wstring*>(lParam)); return 0;
        }
        return 0;
    }

    HWND window_ = nullptr;
};

// The three stand-in libraries loaded from one folder by full path, so that
// no copy elsewhere on the search path is taken instead.
class StandInLibraries {
public:
    bool Load(const std::filesystem::path& folder) {
        const auto load = [&folder](LoadedLibrary& library, const char* name) {
            return library.Load((folder / name).wstring());
        };
        if (!load(deviceUtility_, kDeviceUtilityLibraryName) || !load(usb_, kUsbLibraryName) ||
            !load(network_, kNetworkLibraryName))
            return false;
#define BIND_DU(name) Lookup(deviceUtility_, #name, table_.name);
#define BIND_USB(name) Lookup(usb_, #name, table_.name);
#define BIND_NET(name) Lookup(network_, #name, table_.name);
        VORLEN_DU_EXPORTS(BIND_DU)
        VORLEN_USB_EXPORTS(BIND_USB)
        VORLEN_NET_EXPORTS(BIND_NET)
#undef BIND_DU
#undef BIND_USB
#undef BIND_NET
        return true;
    }
    // The stand-ins write their records when unloaded.
    void Unload() {
        table_ = LibraryTable{};
        deviceUtility_.Unload();
        usb_.Unload();
        network_.Unload();
    }
    const LibraryTable& table() const { return table_; }

private:
    template <typename Function>
    static void Lookup(const LoadedLibrary& library, const char* name, Function& entry) {
        entry = reinterpret_cast<Function>(reinterpret_cast<void*>(library.Export(name)));
    }

    LoadedLibrary deviceUtility_;
    LoadedLibrary usb_;
    LoadedLibrary network_;
    LibraryTable table_;
};

std::filesystem::path ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

class TransferOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path libraries = ProgramFolder() / FWDL_SIM_LIBRARY_DIR;
        for (const char* name : {kDeviceUtilityLibraryName, kUsbLibraryName, kNetworkLibraryName}) {
            // A missing part of the fixture is a failure, never a skipped test.
            if (!std::filesystem::exists(libraries / name))
                GTEST_FAIL() << "the stand-in printer libraries are not built: no " << name << " in "
                             << libraries.string();
            std::filesystem::copy_file(libraries / name, folder_.dir().path() / name);
        }
        // The stand-ins read their fleet from beside them and record there.
        WriteBytes(folder_.dir().path() / "vorlensim.ini",
                   "[Fleet]\nRecord=bytes\n"
                   "[Usb0]\nIndex=1\nSerial=SIM1\nName=Desk laser\nVariant=EU01\n"
                   "[Net0]\nIPv4=127.0.0.1\nCommunity=meadow\n");
        folder_.AddPatternFile("main.bin", 10000, 1);
        folder_.AddPatternFile("mcu_eu.bin", 3000, 2);
        settings_ = folder_.WriteConfig(
            "[General]\nEncoding=0\nFwCount=2\n"
            "[Fw0]\nFileName=main.bin\nPostDelay=2000\nSubCmdCnt=1\nCmd0=1B 45\n"
            "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_EU=mcu_eu.bin\nFileSize=3000\n"
            "[Granted]\nS0A*=1\n");
        package_ = LoadPackage(settings_, files_, rows_);
        ASSERT_TRUE(package_.PackageReady);

        ASSERT_TRUE(standIns_.Load(folder_.dir().path()));
        ASSERT_TRUE(standIns_.table().DUWriteData && standIns_.table().NetworkWrite);
        ASSERT_TRUE(window_.IsOpen());
        job_.window = &window_;
    }

    TransferContext Context() { return {settings_, libraries_, files_, clock_, rows_, package_.TotalSize, texts_}; }

    // Runs `body` on a worker thread while this thread pumps the window.
    template <typename Body>
    void RunOnWorker(Body body) {
        std::thread worker(body);
        EXPECT_TRUE(window_.RunUntilDone(job_));
        worker.join();
        standIns_.Unload();
    }

    std::string Received(const char* printer) const {
        return ReadWholeFile(folder_.dir().path() / (std::string(printer) + ".bin"));
    }
    static std::string ReadWholeFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string Expected(const std::string& lastMarker) const {
        return PatternBytes(10000, 1) + MarkerText(kMarkerMoreFiles) + "\x1B\x45" + PatternBytes(3000, 2) +
               lastMarker;
    }

    PackageFolder folder_;
    PackageSettings settings_;
    PlatformFiles files_;
    PackageTable rows_;
    PackageLoadResult package_;
    StandInLibraries standIns_;
    BoundLibraries libraries_{standIns_.table()};
    VirtualClock clock_;
    EnglishTexts texts_;
    TestProgressWindow window_;
    TransferJob job_;
};

}  // namespace

TEST_F(TransferOnWindows, UsbJobOnAWorkerThread) {
    // The spooler lock has its own tests; Wine's spooler takes long to start.
    Timeline lockTimeline;
    FakePortLocks locks(lockTimeline);
    UsbPrinterItem item;
    item.deviceIndex = 1;
    std::strcpy(item.variantCode, "EU01");
    UsbPrinterTable printers;
    printers.Append({true, L"SIM1", L"Desk laser", &item});
    const TransferContext context = Context();
    RunOnWorker([&] { RunUsbTransfer(job_, context, locks, printers); });

    EXPECT_TRUE(SameStream(Received("Usb0"), Expected(MarkerText(kMarkerLastFile))));
    EXPECT_EQ(item.transferResult, kTransferCompleted);
    EXPECT_EQ(window_.printerLines, (std::vector<std::wstring>{L"Printer:Desk laser"}));
    EXPECT_EQ(window_.bars.back(), 100);
    EXPECT_EQ(window_.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_TRUE(window_.errors.empty());
    EXPECT_EQ(window_.handlerThread, GetCurrentThreadId());  // controls change on the window's thread only
    EXPECT_EQ(job_.abortReason.load(), kAbortNone);
    EXPECT_EQ(lockTimeline, (Timeline{"lock", "release"}));
}

TEST_F(TransferOnWindows, NetworkJobOnAWorkerThread) {
    NetPrinterItem item;
    std::strcpy(item.variantCode, "EU01");
    NetPrinterTable printers;
    printers.Append({true, L"127.0.0.1", L"", &item});
    std::strcpy(job_.community, "meadow");
    const TransferContext context = Context();
    RunOnWorker([&] { RunNetworkTransfer(job_, context, printers); });

    EXPECT_TRUE(SameStream(Received("Net0"), Expected(MarkerText(kMarkerLastFile))));
    EXPECT_EQ(item.transferResult, kTransferCompleted);
    EXPECT_EQ(window_.printerLines, (std::vector<std::wstring>{L"Printer:127.0.0.1"}));
    EXPECT_EQ(window_.bars.back(), 100);
    EXPECT_TRUE(window_.errors.empty());
}

TEST_F(TransferOnWindows, CancelFromTheWindowThreadAbandonsTheUpdate) {
    NetPrinterItem item;
    std::strcpy(item.variantCode, "EU01");
    NetPrinterTable printers;
    printers.Append({true, L"127.0.0.1", L"", &item});
    std::strcpy(job_.community, "meadow");
    window_.cancelJob = &job_;
    const TransferContext context = Context();
    RunOnWorker([&] { RunNetworkTransfer(job_, context, printers); });

    // The first file still goes out whole, then the abandon marker.
    EXPECT_TRUE(SameStream(Received("Net0"), PatternBytes(10000, 1) + MarkerText(kMarkerAbandon)));
    EXPECT_EQ(item.transferResult, kTransferPending);
    EXPECT_EQ(job_.abortReason.load(), kAbortByUser);
    EXPECT_EQ(window_.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_TRUE(window_.errors.empty());
}
